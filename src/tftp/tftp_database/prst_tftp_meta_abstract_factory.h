#pragma once

#include "oodb/db_base_session.h"
#include "oodb/db_statement_file_reader.h"
#include "prst_generic/prst_meta_abstract_factory.h"
#include "security/user_access_token.h"
#include "standard/tracked_factory.h"
#include "tftp/tftp_database/prst_tftp_context.h"

// The factory of the TFTP service's persistent classes: the generic ones and
// the policies (registered by CPrstTFTPInitializer). Its objects live in
// TFTP contexts, which carry the session's policy format.
class CPrstTFTPMetaAbstractFactory : public CPrstMetaAbstractFactory {
public:
    osk::CTrackedPtr<CPrstTFTPContext> createContext(CDBBaseSession& session, const CDBStatementFileReader& statements,
                                                     const osk::CUserAccessToken& token,
                                                     const CTFTPFormatType& format = CTFTPFormatType()) const;
};
