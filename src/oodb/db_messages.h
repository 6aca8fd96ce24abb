#pragma once

// Every user-visible text of the object database layer, in one place. Texts
// with "%1", "%2" take their arguments in that order.
struct CDBMessages {
    static constexpr const char* moduleOodb = "oodb";
    static constexpr const char* modulePersistence = "oodb_persistence";

    // Column types.
    static constexpr const char* cannotDeserializeFieldType = "Cannot deserialize field type '%1'.";
    static constexpr const char* cannotSerializeFieldType = "Cannot serialize field type '%1'.";
    static constexpr const char* noSuchFieldType = "No such field type.";

    // Statement file.
    static constexpr const char* invalidStatementRecord = "Invalid record at line %1 in sql statement spec file.";
    static constexpr const char* duplicateCursorNumber =
        "Duplicate sql cursor number at line %1 in sql statement spec file.";
    static constexpr const char* cursorNumbersOverlap = "Cursor numbers overlap.";
    static constexpr const char* cannotLocateStatement = "Cannot locate sql spec file '%1'.";
    static constexpr const char* noSuchFile = "No such file.";
    static constexpr const char* argumentCountsDiffer = "Argument names and types differ in number.";

    // Table-group file.
    static constexpr const char* invalidGroupRecord = "Invalid record at line %1 in table group file.";
    static constexpr const char* cannotLocateGroup = "Cannot locate table group '%1'.";
    static constexpr const char* groupDoesNotExist = "Group does not exist.";

    // Records of both files.
    static constexpr const char* unrecognizedKey = "Unrecognized key '%1'.";
    static constexpr const char* missingKey = "Missing key '%1'.";

    // Tags (named statements of a table).
    static constexpr const char* cannotInsertPrecompiled = "Cannot insert precompiled statement '%1'.";
    static constexpr const char* statementExists = "Statement '%1' already exists.";
    static constexpr const char* cannotSetAdapterInfo = "Cannot set adapter info for tag '%1'.";
    static constexpr const char* cannotFindPrecompiled = "Unable to find precompiled statement '%1'.";
    static constexpr const char* noSuchStatement = "No such statement.";

    // Foreign keys.
    static constexpr const char* noForeignKeyValue = "Unable to find foreign key value for attribute '%1'.";
    static constexpr const char* cannotRemoveForeignKeyValue = "Failed to remove foreign key value attribute '%1'.";
    static constexpr const char* noSuchAttribute = "No such attribute.";
    static constexpr const char* cannotReferenceForeignKey = "Unable to reference foreign key '%1' pointing to <%2,%3>.";
    static constexpr const char* cachedPointerInvalid = "Cached pointer is invalid.";

    // Blobs and column values.
    static constexpr const char* noBlobAtColumn = "Unable to find blob at column '%1'.";
    static constexpr const char* notBinaryBlob = "Field is not defined as a binary blob.";
    static constexpr const char* cannotWriteColumn = "Unable to write column value.";
    static constexpr const char* columnReadOnly = "Column is read-only.";
    static constexpr const char* cannotReadColumn = "Unable to read column value.";
    static constexpr const char* columnNotOpenForRead = "Column has not been opened for read.";

    // Pagers.
    static constexpr const char* cannotCreatePager = "Unable to create a pager query object.";
    static constexpr const char* wrongPagerType = "Wrong pager type.";
    static constexpr const char* cannotPageSelect = "Unable to page a select on table '%1'.";
    static constexpr const char* noSortColumn = "The table has no column '%1' to sort on.";
    static constexpr const char* wrongSortOrder = "Sort order '%1' is neither 'asc' nor 'desc'.";

    // Schema version.
    static constexpr const char* staticSchemaVersion =
        "Statically configured schema version number is overriding the application default schema version number.";
    static constexpr const char* noDefaultSchemaNumber = "Cannot provide a default database schema number.";
    static constexpr const char* productHasNoDatabase = "This product does not have a database.";

    // Providers and factories.
    static constexpr const char* noImplementation = "Unable to find a database implementation for '%1'.";
    static constexpr const char* noFactoryForImplementation =
        "Unable to find a factory using database implementation '%1'.";
    static constexpr const char* implementationNotInitialized = "Database implementation not initialized.";
    static constexpr const char* implementationRegisteredTwice = "Database implementation '%1' is already registered.";
    static constexpr const char* databaseNotOpen = "Database '%1' is not open.";

    // Tables and transactions.
    static constexpr const char* cannotWriteRecord = "Failed to write table record.";
    static constexpr const char* accessModeForbidsWrite = "Access mode %1 does not allow writing.";
    static constexpr const char* cannotRegisterThread = "Failed to register a thread for table '%1'.";
    static constexpr const char* fieldsDoNotMatch = "Required fields '%1' do not match defined fields '%2'.";
    static constexpr const char* unknownColumn = "Table '%1' has no column '%2'.";
    static constexpr const char* keyNotInteger = "The primary key is not an integer.";
    static constexpr const char* cannotFindRecord = "Unable to find record with key %1.";
    static constexpr const char* noSuchRecord = "No such record.";

    // Transactions of a table's thread handle.
    static constexpr const char* accessModeRestart =
        "Requested access mode is %1, current is %2, implies a restart of the transaction.";
    static constexpr const char* cursorUpgrade = "Database transaction is being implicitly upgraded to support a cursor.";
    static constexpr const char* implicitTransaction =
        "A database transaction has been implicitly created. This should be avoided.";
    static constexpr const char* cannotContinueTransaction = "Unable to continue transaction.";
    static constexpr const char* transactionAssumed = "Requested transaction type assumes a transaction already exists.";
    static constexpr const char* undefinedTransactionType = "Undefined transaction type.";
    static constexpr const char* failedToContinueTransaction = "Failed to continue transaction.";

    // Threads and locks of a table.
    static constexpr const char* cannotAcquireLock = "Failed to acquire a lock on database '%1'.";
    static constexpr const char* writeLockTimedOut = "The write lock of table '%1' was not free within %2 ms.";
    static constexpr const char* registeredWithOtherSession = "The thread is registered with another session.";

    // Prototypes and clones.
    static constexpr const char* cannotFindPrototype = "Failed to find object prototype '%1'.";
    static constexpr const char* noSuchPrototype = "No such prototype.";

    // Return codes of the database.
    static constexpr const char* cannotTranslateReturnCode = "Cannot translate database return code '%1'.";
    static constexpr const char* unknownCode = "Unknown code.";
};
