#include "tftp/tftp_database/prst_tftp_context.h"

CTFTPFormatType CPrstTFTPContext::formatOf(const CPrstContext& context)
{
    const auto* tftp = dynamic_cast<const CPrstTFTPContext*>(&context);
    return tftp ? tftp->formatType() : CTFTPFormatType();
}
