#include "extended/arg_buffer.h"

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kCannotAccess = "Cannot access argument %1.";
const char* const kCannotPushString = "Cannot push string argument.";
const char* const kInvalidPointer = "Invalid pointer.";
const char* const kCannotProcess = "Cannot process argument.";
const char* const kNoSpace = "Not enough buffer space.";
} // namespace

namespace arg_buffer_errors {

void invalidPointer()
{
    throw OSK_EXCEPTION(CMessage(kCannotPushString), CMessage(kInvalidPointer), "CArgBuffer::pushs", kModule);
}

void noSpace(bool text)
{
    throw OSK_EXCEPTION(CMessage(text ? kCannotPushString : kCannotProcess), CMessage(kNoSpace),
                        text ? "CArgBuffer::pushs" : "CArgBuffer::push", kModule);
}

void cannotAccess(size_t index)
{
    throw OSK_EXCEPTION(CMessage(kCannotAccess).push(index), CMessage(), "CArgBuffer::arg", kModule);
}

} // namespace arg_buffer_errors

} // namespace osk
