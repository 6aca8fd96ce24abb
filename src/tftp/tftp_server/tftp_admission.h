#pragma once

#include <cstdint>
#include <string>

#include "extended/exception.h"
#include "extended/message.h"
#include "tftp/tftp_interfaces/i_tftp_stored_policies.h"
#include "tftp/tftp_interfaces/tftp_error_code.h"

class CITFTPFDManager;

// The engine's verdict on one request before any file is opened: which
// descriptor manager serves it, under which root, what the name became and
// whether the policy lets it through. A refused request carries the error
// packet for the client and the line for the log.
struct CTFTPAdmission {
    bool admitted = false;
    // The manager that serves the name; null when none does.
    const CITFTPFDManager* manager = nullptr;
    std::string root;
    bool preprocessed = false;
    bool accessAllowed = false;
    bool overwriteAllowed = false;
    // The account and stored policies the decisions read; null when the
    // service has no stored policies (no database) or the request was
    // refused before they were read.
    CITFTPStoredPolicies::policies_ptr policies;
    // The account name, also when no stored policies were read.
    std::string account;

    // A refusal: the error packet and the log line (debug unless said).
    CTFTPErrorCode error = CTFTPErrorCode::no_error;
    std::string errorText;
    uint32_t logSeverity = osk::CException::debug;
    osk::CMessage logMessage;
};
