#pragma once

// Every user-visible text of the console's database proxy, in one place.
struct CTFTPConnectorMessages {
    static constexpr const char* module = "tftp_connector";

    static constexpr const char* noSession = "Cannot retrieve database session.";
    static constexpr const char* invalidSession = "Invalid session handle.";
    static constexpr const char* noDatabase = "The service's database is not open.";
    static constexpr const char* privileged = "Unable to execute privileged command.";
    static constexpr const char* needSuperUser = "You need to become a 'super user' to execute this command.";
    static constexpr const char* noQueryForPager = "Cannot find query for pager %1, type %2.";
    static constexpr const char* noSuchQuery = "No such query.";
    static constexpr const char* cannotInvalidate = "Unable to invalidate query.";
    static constexpr const char* noQueryKey = "No query matches key %1.";
};
