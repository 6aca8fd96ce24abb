#pragma once

#include "prst_generic/prst_generic_initializer.h"
#include "tftp/tftp_database/prst_tftp_meta_abstract_factory.h"

// Prepares a database session for the TFTP service's persistent classes:
// the generic classes and the TFTP policies.
class CPrstTFTPInitializer : public CPrstGenericInitializer {
public:
    CPrstTFTPInitializer(CDBBaseSession& session, const CDBStatementFileReader& statements,
                         CPrstTFTPMetaAbstractFactory& factory);

    void initialize() override;
};
