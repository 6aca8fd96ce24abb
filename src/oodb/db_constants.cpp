#include "oodb/db_constants.h"

namespace {

using T = CDBConstants;

const T::CTemplate kTemplates[] = {
    {"SELECT_WITH_PRIMARY_KEY", "SELECT * FROM <<TABLE>> WHERE PK = ?", T::CURSOR_SELECT_PK},
    {"FAST_SELECT_PK", "SELECT * FROM <<TABLE>> WHERE (PK = ?)", T::CURSOR_FAST_SELECT_PK},
    {"FAST_SELECT_PK_GT", "SELECT * FROM <<TABLE>> WHERE (PK > ?) ORDER BY PK ASC", T::CURSOR_FAST_SELECT_PK_GT},
    {"FAST_SELECT_PK_LT", "SELECT * FROM <<TABLE>> WHERE (PK < ?) ORDER BY PK DESC", T::CURSOR_FAST_SELECT_PK_LT},
    {"FAST_SELECT_FWD_PK_RANGE", "SELECT * FROM <<TABLE>> WHERE (PK >= ? AND PK <= ?) ORDER BY PK ASC",
     T::CURSOR_FAST_FWD_RANGE},
    {"FAST_SELECT_BWD_PK_RANGE", "SELECT * FROM <<TABLE>> WHERE (PK >= ? AND PK <= ?) ORDER BY PK DESC",
     T::CURSOR_FAST_BWD_RANGE},
    {"SELECT_PK_RANGE", "SELECT * FROM <<TABLE>> WHERE (PK >= ? AND PK <= ?) ORDER BY PK ASC", T::CURSOR_PK_RANGE},
    {"SELECT_PK_GT_EQ", "SELECT * FROM <<TABLE>> WHERE PK >= ? ORDER BY PK ASC", T::CURSOR_NONE},
    {"SELECT_PK_LOWER_BOUND", "SELECT * FROM <<TABLE>> WHERE PK = (SELECT MIN(PK) FROM <<TABLE>>)",
     T::CURSOR_PK_LOWER_BOUND},
    {"SELECT_PK_UPPER_BOUND", "SELECT * FROM <<TABLE>> WHERE PK = (SELECT MAX(PK) FROM <<TABLE>>)",
     T::CURSOR_PK_UPPER_BOUND},
    // A range is updated row by row through the long-commit cursor, a single
    // row through the short-commit cursor.
    {"SELECT_FOR_CURSOR", "SELECT * FROM <<TABLE>> WHERE (PK >= ? AND PK <= ?) ORDER BY PK ASC FOR UPDATE OF",
     T::CURSOR_LONG_COMMIT},
    {"SELECT_SINGLE_FOR_CURSOR", "SELECT * FROM <<TABLE>> WHERE (PK = ?) FOR UPDATE OF", T::CURSOR_SHORT_COMMIT},
    {"UPDATE_SHORT_USING_CURSOR", "UPDATE <<TABLE>> SET <<FIELDS>> WHERE CURRENT OF", T::CURSOR_SHORT_COMMIT},
    {"UPDATE_LONG_USING_CURSOR", "UPDATE <<TABLE>> SET <<FIELDS>> WHERE CURRENT OF", T::CURSOR_LONG_COMMIT},
    {"DELETE_SHORT_USING_CURSOR", "DELETE FROM <<TABLE>> WHERE CURRENT OF", T::CURSOR_SHORT_COMMIT},
    {"DELETE_LONG_USING_CURSOR", "DELETE FROM <<TABLE>> WHERE CURRENT OF", T::CURSOR_LONG_COMMIT},
    {"UPDATE_WITHOUT_CURSOR", "UPDATE <<TABLE>> SET <<FIELDS>> WHERE PK = ?", T::CURSOR_NONE},
    {"DELETE_WITHOUT_CURSOR", "DELETE FROM <<TABLE>> WHERE PK = ?", T::CURSOR_NONE},
    {"INSERT_WITH_PRIMARY_KEY", "INSERT INTO <<TABLE>> (PK) VALUES (?)", T::CURSOR_NONE},
    {"INSERT_ALL_FIELDS", "INSERT INTO <<TABLE>> (<<FIELD_NAMES>>) VALUES (<<FIELD_VALUES>>)", T::CURSOR_NONE},
    {"SELECT_LARGEST_PRIMARY_KEY", "SELECT MAX(ALL PK) FROM <<TABLE>>", T::CURSOR_LARGEST_KEY},
    {"SET_PK_GENERATOR_VALUE", "EXECUTE PROCEDURE SET_GENERATOR('<<UPPER_TABLE>>',?)", T::CURSOR_SET_GENERATOR},
    {"NEXT_PK_FROM_GENERATOR", "SELECT GEN_ID(<<TABLE>>,1) FROM RDB$DATABASE", T::CURSOR_NEXT_FROM_GENERATOR},
    {nullptr, nullptr, T::CURSOR_NONE},
};

} // namespace

const char* const CDBConstants::selectDeclaredForeignKeys =
    "SELECT                                (SELECT RSI.RDB$FIELD_NAME FROM rdb$index_segments RSI WHERE "
    "(RSI.RDB$INDEX_NAME = RSC.RDB$INDEX_NAME)) AS SRC_FIELD,                                "
    "RSC.RDB$RELATION_NAME AS SRC_TABLE,                                (SELECT RDI.RDB$FIELD_NAME FROM "
    "rdb$index_segments RDI WHERE (RDI.RDB$INDEX_NAME = RDC.RDB$INDEX_NAME)) AS DEST_FIELD,                  "
    "              RDC.RDB$RELATION_NAME AS DEST_TABLE                              FROM "
    "RDB$RELATION_CONSTRAINTS RSC                                JOIN RDB$REF_CONSTRAINTS RCC ON "
    "(RSC.RDB$CONSTRAINT_NAME = RCC.RDB$CONSTRAINT_NAME)                                JOIN "
    "RDB$RELATION_CONSTRAINTS RDC ON (RCC.RDB$CONST_NAME_UQ = RDC.RDB$CONSTRAINT_NAME)";

const char* const CDBConstants::selectDomainForeignKeys =
    "SELECT                               Y.rdb$field_name AS SRC_FIELD,                               "
    "T.rdb$relation_name AS SRC_TABLE,                               (SELECT distinct x.rdb$field_name FROM "
    "rdb$relation_fields X WHERE (X.rdb$field_name = 'OID')) AS DEST_FIELD,                               "
    "F.rdb$computed_source as DEST_TABLE                             FROM rdb$relation_fields T             "
    "                JOIN rdb$relation_fields Y ON (T.rdb$relation_name = Y.rdb$relation_name)              "
    "               JOIN rdb$fields F ON (T.rdb$field_source = F.rdb$field_name)                             "
    "WHERE ((F.rdb$computed_source IS NOT NULL) AND (Y.rdb$field_source = 'OSK_FOREIGN_KEY') AND "
    "(TRIM(T.rdb$field_name) STARTING WITH TRIM(Y.rdb$field_name)) )";

const char* const CDBConstants::countUniqueNotNullColumn =
    "SELECT COUNT(*) AS N FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME "
    "JOIN RDB$RELATION_FIELDS F ON F.RDB$RELATION_NAME = I.RDB$RELATION_NAME AND F.RDB$FIELD_NAME = "
    "S.RDB$FIELD_NAME WHERE I.RDB$RELATION_NAME = ? AND S.RDB$FIELD_NAME = ? AND I.RDB$UNIQUE_FLAG = 1 AND "
    "I.RDB$SEGMENT_COUNT = 1 AND COALESCE(I.RDB$INDEX_INACTIVE, 0) = 0 AND F.RDB$NULL_FLAG = 1";

std::string CDBConstants::loadName(uint64_t entries)
{
    if (entries <= lightLoadLimit) return "light load";
    if (entries <= mediumLoadLimit) return "medium load";
    return "heavy load";
}

std::string CDBConstants::cursorName(uint32_t cursorNumber)
{
    return "CUR" + std::to_string(cursorNumber);
}

const CDBConstants::CTemplate* CDBConstants::statementTemplate(const std::string& name)
{
    for (const CTemplate* entry = kTemplates; entry->name != nullptr; ++entry) {
        if (name == entry->name) return entry;
    }
    return nullptr;
}

const CDBConstants::CTemplate* CDBConstants::statementTemplates()
{
    return kTemplates;
}

std::string CDBConstants::insertSchemaVersion(uint32_t version)
{
    return insertSchemaVersionStart + std::to_string(version) + ")";
}

std::string CDBConstants::updateSchemaVersion(uint32_t version)
{
    return updateSchemaVersionStart + std::to_string(version) + ")";
}

std::string CDBConstants::accessModeName(int mode)
{
    switch (mode) {
    case READ_WRITE_ACCESS: return "READ_WRITE_ACCESS";
    case APPEND_ACCESS: return "APPEND_ACCESS";
    case READ_ONLY_ACCESS: return "READ_ONLY_ACCESS";
    case ADAPT_TO_ANY_ACCESS_NO_COMMIT: return "ADAPT_TO_ANY_ACCESS_NO_COMMIT";
    default: return "ACCESS_MODE_NOT_FOUND";
    }
}

bool CDBConstants::compatibleAccessMode(int requested, int current)
{
    return requested == ADAPT_TO_ANY_ACCESS_NO_COMMIT || current == READ_WRITE_ACCESS || current == APPEND_ACCESS ||
           requested == current;
}

int CDBConstants::commitType(int transType)
{
    return (transType == 2 || transType == 5 || transType == 6) ? 1 : 0;
}
