#include "tftp/tftp_database/prst_tftp_meta_abstract_factory.h"

osk::CTrackedPtr<CPrstTFTPContext> CPrstTFTPMetaAbstractFactory::createContext(CDBBaseSession& session,
                                                                               const CDBStatementFileReader& statements,
                                                                               const osk::CUserAccessToken& token,
                                                                               const CTFTPFormatType& format) const
{
    auto context = osk::CTrackedFactory::createUnique<CPrstTFTPContext>(session, statements, token);
    context->formatType(format);
    return context;
}
