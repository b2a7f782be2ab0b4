#pragma once

#include "platform/core/Error.h"

// The transport's error: its text is shown to the user as it is.
class ESockError : public platform::Exception
{
public:
    using platform::Exception::Exception;
};

// An operation that was cancelled while it waited.
class EAbortError : public ESockError
{
public:
    using ESockError::ESockError;
};
