#pragma once

#include "prst_generic/prst_context.h"
#include "tftp/tftp_database/tftp_format_type.h"

// The context of the TFTP service's persistent objects: adds the text
// format in which a session reads and writes policies (packed unless set).
class CPrstTFTPContext : public CPrstContext {
public:
    using CPrstContext::CPrstContext;

    const CTFTPFormatType& formatType() const { return _formatType; }
    void formatType(const CTFTPFormatType& format) { _formatType = format; }

    // The format of any context: packed for one that is not a TFTP context.
    static CTFTPFormatType formatOf(const CPrstContext& context);

private:
    CTFTPFormatType _formatType;
};
