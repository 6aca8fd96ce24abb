#include "tftp/tftp_server/conn_req.h"

bool CConnReq::sameRequest(const CConnReq& other) const
{
    return _operation == other._operation && _file == other._file && _octetMode == other._octetMode &&
           _blksizeDefined == other._blksizeDefined && _blksize == other._blksize &&
           _timeoutDefined == other._timeoutDefined && _timeoutUsec == other._timeoutUsec &&
           _tsizeDefined == other._tsizeDefined && _tsize == other._tsize &&
           _windowsizeDefined == other._windowsizeDefined && _windowsize == other._windowsize;
}

std::string CConnReq::string() const
{
    std::string s = _operation.string() + " '" + _file + "' " + (_octetMode ? "octet" : "netascii");
    if (_blksizeDefined) s += " blksize=" + std::to_string(_blksize);
    if (_timeoutDefined) s += " timeout=" + std::to_string(_timeoutUsec) + "us";
    if (_tsizeDefined) s += " tsize=" + std::to_string(_tsize);
    if (_windowsizeDefined) s += " windowsize=" + std::to_string(_windowsize);
    return s;
}
