#include "tftp/tftp_database/prst_tftp_initializer.h"

#include "tftp/tftp_database/prst_tftp_policy.h"

CPrstTFTPInitializer::CPrstTFTPInitializer(CDBBaseSession& session, const CDBStatementFileReader& statements,
                                           CPrstTFTPMetaAbstractFactory& factory)
    : CPrstGenericInitializer(session, statements, factory)
{
}

void CPrstTFTPInitializer::initialize()
{
    CPrstGenericInitializer::initialize();
    _registerClass<CPrstTFTPPolicy>();
}
