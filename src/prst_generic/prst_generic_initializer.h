#pragma once

#include <string>
#include <vector>

#include "oodb/db_base_session.h"
#include "oodb/db_statement_file_reader.h"
#include "prst_generic/prst_meta_abstract_factory.h"

// Prepares a database session for the generic persistent classes: registers
// each class in the factory and its record layout (its table with
// the column types of its row) as a prototype of the session, with the
// class name and the formal name as aliases of the table.
class CPrstGenericInitializer {
public:
    CPrstGenericInitializer(CDBBaseSession& session, const CDBStatementFileReader& statements,
                            CPrstMetaAbstractFactory& factory);
    virtual ~CPrstGenericInitializer() = default;
    CPrstGenericInitializer(const CPrstGenericInitializer&) = delete;
    CPrstGenericInitializer& operator=(const CPrstGenericInitializer&) = delete;

    virtual void initialize();

    // Every persistent class of the service, and in the same order the
    // formal names rights are granted on (the security record has none).
    static const std::vector<std::string>& classNames();
    static const std::vector<std::string>& formalNames();

protected:
    template <class T>
    void _registerClass()
    {
        _factory.registerClass<T>();
        _registerRecordSpec(T::spec().className());
    }

private:
    void _registerRecordSpec(const std::string& className);

    CDBBaseSession& _session;
    const CDBStatementFileReader& _statements;
    CPrstMetaAbstractFactory& _factory;
};
