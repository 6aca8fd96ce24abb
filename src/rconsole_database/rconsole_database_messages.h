#pragma once

// Every user-visible text of the persistent-object commands, in one place.
// Texts with "%1", "%2" take their arguments in that order.
struct CRConsoleDatabaseMessages {
    static constexpr const char* module = "rconsole_database";

    // Arguments.
    static constexpr const char* cannotProcessQuery = "Cannot process query.";
    static constexpr const char* whereAndQuery = "Cannot combine 'where' and 'query' arguments.";
    static constexpr const char* noQueryName = "No query name specified (query=X).";
    static constexpr const char* queryNotFound = "Unable to find query object %1.";
    static constexpr const char* queryOidNotFound = "Unable to find query object with oid = %1.";
    static constexpr const char* noAccessOrMissing = "You have no right to access the object or it doesn't exist.";
    static constexpr const char* objectMissing = "Object doesn't exist.";
    static constexpr const char* ambiguousQuery = "Ambiguous query object name '%1'.";
    static constexpr const char* foundMany = "Found %2 objects with this name.";
    static constexpr const char* invalidArgument = "Invalid value '%2' for argument '%1'.";
    static constexpr const char* notPositive = "Argument '%1' must be a whole number above 0, not '%2'.";
    static constexpr const char* badSortOrder = "Argument 'sort_order' must be 'asc' or 'desc', not '%1'.";
    static constexpr const char* noJoin = "The 'join' argument is not supported.";
    static constexpr const char* badPagerType = "Argument 'pager_type' must be 'db' or 'pk', not '%1'.";

    // The condition.
    static constexpr const char* emptyWhere = "Empty 'where' clause specified.";
    static constexpr const char* cannotExecute = "Cannot execute command on persistent object of type '%1'.";
    static constexpr const char* unbalanced = "The 'where' clause has unbalanced parentheses.";
    static constexpr const char* unterminated = "The 'where' clause has a quoted text without its closing quote.";
    static constexpr const char* separator = "The 'where' clause may hold neither ';' nor comments.";
    static constexpr const char* subselect = "Only administrators may use sub-selects in the 'where' clause.";
    static constexpr const char* whereTooLong = "The 'where' clause is longer than %1 characters.";

    // Objects.
    static constexpr const char* unknownAttribute = "Unknown attribute '%1' for objects of type '%2'.";
    static constexpr const char* cannotInsert = "Cannot insert persistent object of type '%1'.";
    static constexpr const char* cannotUpdate = "Cannot update persistent objects of type '%1'.";
    static constexpr const char* noMemory = "Not enough memory.";
    static constexpr const char* staleQuery = "The query of pager '%1' is out of date.";
    static constexpr const char* changedSince = "Objects were changed since it was selected; select again.";
    static constexpr const char* unknownDump = "Unknown raw dump type. Please contact technical support.";
};
