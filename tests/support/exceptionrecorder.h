#pragma once
// Records every exception handed to ReportException, so that a test can assert
// which exception an event handler raised. Installed by the test main; each
// test clears it before it starts (a gtest listener does that).
#include "core/exception.h"

#include <vector>

class ExceptionRecorder {
public:
    static void Install();
    static void Clear();
    static std::size_t Count();
    static QString MessageAt(std::size_t index);

    // The recorded exception at index as E, or nullptr when it is of another type.
    template <class E>
    static const E* As(std::size_t index)
    {
        try {
            std::rethrow_exception(All().at(index));
        } catch (const E& e) {
            return &e; // the exception object lives as long as its exception_ptr
        } catch (...) {
            return nullptr;
        }
    }

    static std::vector<std::exception_ptr>& All();
};
