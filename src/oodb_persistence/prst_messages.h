#pragma once

// The texts of the persistent layer's query time-outs. Texts with "%1", "%2"
// take their arguments in that order.
struct CPrstMessages {
    static constexpr const char* module = "oodb_persistence";

    static constexpr const char* timeOutMgrFailed = "Failed to initialize timeout manager.";
    static constexpr const char* timeOutMgrNotRunning = "The timeout manager is not running.";
    static constexpr const char* timerRefused = "The timeout manager's reactor refused the timer.";
    static constexpr const char* initiatingTimeOut = "Initiating a query time-out for %1 seconds with timer id %2.";
    static constexpr const char* executingTimeOut = "Executing query time out for timer %1.";
    static constexpr const char* timerCancelled = "Query timer %1 has been cancelled.";
};
