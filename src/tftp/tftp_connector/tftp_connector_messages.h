#pragma once

// Every user-visible text of the console's database proxy, in one place.
struct CTFTPConnectorMessages {
    static constexpr const char* module = "tftp_connector";

    static constexpr const char* noSession = "Cannot retrieve database session.";
    static constexpr const char* invalidSession = "Invalid session handle.";
    static constexpr const char* noDatabase = "The service's database is not open.";
    static constexpr const char* noFacade =
        "No database facade plug-in (CIDBFacadeFactory) is loaded: consoles have no access to the database.";
    static constexpr const char* noAccessRights = "Cannot determine access rights for user '%1'.";
    static constexpr const char* noCredentials = "Failed to find login credentials.";
    static constexpr const char* nonPrintable = "<non-printable characters>";
    static constexpr const char* privileged = "Unable to execute privileged command.";
    static constexpr const char* needSuperUser = "You need to become a 'super user' to execute this command.";
    static constexpr const char* noQueryForPager = "Cannot find query for pager %1, type %2.";
    static constexpr const char* noSuchQuery = "No such query.";
    static constexpr const char* cannotInvalidate = "Unable to invalidate query.";
    static constexpr const char* noQueryKey = "No query matches key %1.";
};
