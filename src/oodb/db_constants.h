#pragma once

#include <cstdint>
#include <limits>
#include <string>

// The fixed values of the object database layer: sizes and limits, cursor
// numbers, the statement templates with their placeholders, the names used
// in argument maps and result rows, the schema-version and catalogue
// statements, access modes and transaction types.
class CDBConstants {
public:
    // ---- sizes, limits and weights -------------------------------------
    static constexpr uint32_t defaultStringLength = 240;
    static constexpr uint32_t defaultMemoLength = 4096;
    static constexpr uint32_t defaultNumericLength = 10;
    static constexpr uint32_t defaultDoubleLength = 20;
    static constexpr uint32_t defaultBinaryLength = 2048;
    static constexpr uint32_t maxClonesPerSelect = 200;
    static constexpr uint32_t maxClonesNotSelecting = 200000;
    static constexpr uint32_t lockTimeOut = 460;
    static constexpr uint32_t commitLockTimeOut = 360;
    static constexpr uint32_t dbInitTimeOut = 900;
    static constexpr uint32_t lightLoadLimit = 1000;
    static constexpr uint32_t mediumLoadLimit = 7000;
    static constexpr uint32_t heavyLoadUncommitted = 2000000;
    static constexpr uint32_t flushLatencyWeight = 2000;
    static constexpr uint32_t unflushedEntriesWeight = 20;
    static constexpr uint32_t startMetricWeight = 100;
    static constexpr uint32_t maxWeightMetrics = 7;
    static constexpr uint32_t ageFactor = 2;
    static constexpr uint32_t retainedVsRealCommitLimit = 100;
    static constexpr uint32_t maxConsecutiveCommitRetains = 200000;
    static constexpr uint32_t defaultPageSize = 8192;
    static constexpr uint32_t blobSegmentSize = 1024;
    static constexpr uint32_t defaultDescriptorSize = 30;
    static constexpr uint32_t maxDescriptorSize = 30;
    static constexpr uint32_t unusedPrecompiledKept = 5;
    static constexpr int64_t smallestKeyValue = 0;
    static constexpr int64_t largestKeyValue = std::numeric_limits<int64_t>::max();
    static constexpr int64_t initialKeyValue = -1;
    static constexpr int64_t placeholderKeyValue = 0;
    static constexpr uint32_t defaultTraversalDepth = 1;
    static constexpr uint32_t maxTraversalDepth = 3;
    static constexpr uint32_t secondaryFilesCount = 0;
    static constexpr uint32_t secondaryFilesSize = 250000;
    static constexpr uint32_t defaultMaxObjectsPerSelect = 50;
    static constexpr uint32_t rowPagerPageSize = 1000;
    static constexpr int64_t keyPagerInitialWindow = 40000;
    static constexpr int64_t keyPagerMaxWindow = 640000;
    static constexpr uint32_t maxRowsToSelect = 50000;
    static constexpr uint32_t minHeapAllocation = 256;

    // The load level of a count of pending entries: "light load" up to the
    // light limit, "medium load" up to the medium limit, else "heavy load".
    static std::string loadName(uint64_t entries);

    // ---- cursors --------------------------------------------------------
    enum cursor_t : uint32_t {
        CURSOR_NONE = 0,
        CURSOR_LARGEST_KEY = 1,
        CURSOR_SHORT_COMMIT = 2,
        CURSOR_LONG_COMMIT = 3,
        CURSOR_FAST_FWD_RANGE = 4,
        CURSOR_FAST_BWD_RANGE = 5,
        CURSOR_FAST_SELECT_PK = 6,
        CURSOR_FAST_SELECT_PK_LT = 7,
        CURSOR_FAST_SELECT_PK_GT = 8,
        CURSOR_SELECT_PK = 9,
        CURSOR_PK_RANGE = 10,
        CURSOR_PK_LOWER_BOUND = 11,
        CURSOR_PK_UPPER_BOUND = 12,
        CURSOR_SET_GENERATOR = 13,
        CURSOR_NEXT_FROM_GENERATOR = 14,
        CURSOR_ANY = 0xFFFFFFFFu,
    };
    static constexpr uint32_t maxCursorNumber = 100000;
    static constexpr uint32_t predefinedCursorLimit = 100000000;

    // "CUR" followed by the cursor number.
    static std::string cursorName(uint32_t cursorNumber);

    // ---- statement templates -------------------------------------------
    static constexpr const char* phTable = "<<TABLE>>";
    static constexpr const char* phUpperTable = "<<UPPER_TABLE>>";
    static constexpr const char* phFields = "<<FIELDS>>";
    static constexpr const char* phFieldNames = "<<FIELD_NAMES>>";
    static constexpr const char* phFieldValues = "<<FIELD_VALUES>>";
    static constexpr const char* phPrimaryKeys = "<<PRIMARY_KEYS>>";
    static constexpr const char* phConstraints = "<<CONSTRAINTS>>";

    // A named template and the cursor its statements run on (CURSOR_NONE
    // when it needs none).
    struct CTemplate {
        const char* name;
        const char* text;
        cursor_t cursor;
    };
    // The template of name; null when there is none of that name.
    static const CTemplate* statementTemplate(const std::string& name);
    // Every named template, ended by an entry whose name is null.
    static const CTemplate* statementTemplates();

    static constexpr const char* primaryKeyConstraintTemplate =
        "ALTER TABLE <<TABLE>> ADD CONSTRAINT <<CONSTRAINTS>> PRIMARY KEY (<<PRIMARY_KEYS>>)";
    // Endings of statements that run on a named cursor.
    static constexpr const char* forUpdateOf = "FOR UPDATE OF";
    static constexpr const char* whereCurrentOf = "WHERE CURRENT OF";
    // The primary key column, and the suffix of the primary key's index.
    static constexpr const char* primaryKeyColumn = "PK";
    static constexpr const char* primaryIndexSuffix = "_primary";

    // ---- names in argument maps and result rows ------------------------
    static constexpr const char* pkLow = "PK_LOW";
    static constexpr const char* pkHigh = "PK_HIGH";
    static constexpr const char* tableNameKey = "TABLE_NAME";
    static constexpr const char* setGenValueKey = "SET_GEN_VALUE";
    static constexpr const char* noKeyDefined = "NO_KEY_DEFINED";
    static constexpr const char* allFieldNamesDefined = "ALL_FIELD_NAMES_OF_TABLE_DEFINED";
    static constexpr const char* resultCount = "COUNT";
    static constexpr const char* resultSum = "SUM";
    static constexpr const char* resultAvg = "AVG";
    static constexpr const char* resultMin = "MIN";
    static constexpr const char* resultMax = "MAX";
    static constexpr const char* resultNext = "NEXT";
    static constexpr const char* resultStartValue = "START_VALUE";
    static constexpr const char* resultGenId = "GEN_ID";
    static constexpr const char* resultUtcTime = "UTC_TIME";
    static constexpr const char* sqlSelectStatementKey = "sql_select_statement";
    static constexpr const char* rawSelectStart = "SELECT * FROM";

    // ---- schema version -------------------------------------------------
    static constexpr const char* selectSchemaVersion = "SELECT * FROM SCHEMA_VERSION";
    static constexpr const char* schemaVersionColumn = "NUMBER";
    static constexpr const char* insertSchemaVersionStart = "INSERT INTO SCHEMA_VERSION (NUMBER) VALUES (";
    static constexpr const char* updateSchemaVersionStart = "UPDATE SCHEMA_VERSION T SET T.NUMBER = ";
    static constexpr const char* versionsDirectory = "db_versions";
    static constexpr const char* importDirectory = "import";
    static constexpr const char* defaultInitScript = "default_init.sql";
    static constexpr const char* databaseDirectory = "database";
    static constexpr const char* databaseExtension = ".fdb";
    // The statements that record a schema version.
    static std::string insertSchemaVersion(uint32_t version);
    static std::string updateSchemaVersion(uint32_t version);

    // ---- foreign keys from the catalogue --------------------------------
    static constexpr const char* fkSrcField = "SRC_FIELD";
    static constexpr const char* fkSrcTable = "SRC_TABLE";
    static constexpr const char* fkDestField = "DEST_FIELD";
    static constexpr const char* fkDestTable = "DEST_TABLE";
    static constexpr const char* foreignKeyDomain = "OSK_FOREIGN_KEY";
    static constexpr const char* foreignKeyDestField = "OID";
    static const char* const selectDeclaredForeignKeys;
    static const char* const selectDomainForeignKeys;
    // Counts (as N) the active one-column unique indexes of a table (parameter 1,
    // upper case) on a NOT NULL column (parameter 2): more than 0 when the
    // column's values order the rows totally on their own.
    static const char* const countUniqueNotNullColumn;

    // ---- implementations and factories ----------------------------------
    static constexpr const char* codebaseImplementation = "Codebase DB";
    static constexpr const char* firebirdImplementation = "Firebird_DB";

    // The kinds of product a provider registers a base factory for.
    enum factory_type {
        FACTORY_DATABASE_PROXY,
        FACTORY_ACCESSOR,
        FACTORY_TABLE_INTERFACE,
        FACTORY_TRANSACTION,
        FACTORY_TRANSACTION_VISITOR,
        FACTORY_PRECOMPILED_STATEMENT,
        FACTORY_RESULT_PROTOTYPE,
        FACTORY_ERROR_CODE_MAP,
        FACTORY_RECOVERER,
        FACTORY_EXPRESSION_EVALUATOR,
    };

    // ---- transactions ----------------------------------------------------
    enum trans_access_mode {
        READ_WRITE_ACCESS = 0,
        APPEND_ACCESS = 1,
        READ_ONLY_ACCESS = 2,
        ADAPT_TO_ANY_ACCESS_NO_COMMIT = 3,
    };
    // The name of a mode; "ACCESS_MODE_NOT_FOUND" for a value without one.
    static std::string accessModeName(int mode);
    // Whether a transaction in mode current serves a request for mode
    // requested: always for "adapt to any", always when the current mode
    // writes (read-write or append), else only for the same mode.
    static bool compatibleAccessMode(int requested, int current);

    static constexpr int maxTransType = 10;
    // The commit type of a transaction type: 1 for types 2, 5 and 6, else 0.
    static int commitType(int transType);
};
