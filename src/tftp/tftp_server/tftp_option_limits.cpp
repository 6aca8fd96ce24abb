#include "tftp/tftp_server/tftp_option_limits.h"

#include "extended/config_values.h"
#include "tftp/tftp_server/tftp_config_names.h"

CTFTPOptionLimits::CTFTPOptionLimits()
    : CTFTPOptionLimits(osk::CConfigValues(osk::CStringMap(), CTFTPConfigNames::service()))
{
}

CTFTPOptionLimits::CTFTPOptionLimits(const osk::CConfigValues& config)
    : timeout_usec(config.usec(CTFTPConfigNames::tftpTimeout())),
      min_timeout_usec(config.usec(CTFTPConfigNames::mintftpTimeout())),
      max_timeout_usec(config.usec(CTFTPConfigNames::maxtftpTimeout())),
      min_blocksize(config.ulong(CTFTPConfigNames::mintftpBlksize())),
      max_blocksize(config.ulong(CTFTPConfigNames::maxtftpBlksize())),
      allow_blocksize_option(config.flag(CTFTPConfigNames::allowBlksizeOption())),
      allow_timeout_option(config.flag(CTFTPConfigNames::allowTimeoutOption())),
      allow_tsize_option(config.flag(CTFTPConfigNames::allowTsizeOption())),
      allow_windowsize_option(config.flag(CTFTPConfigNames::allowWindowsizeOption())),
      max_windowsize(config.ulong(CTFTPConfigNames::maxWindowsize()))
{
}
