#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "oodb/db_base_session.h"
#include "oodb/db_paged_select.h"
#include "oodb/db_table_interface.h"
#include "prst_generic/prst_context.h"
#include "standard/string_map.h"
#include "standard/tracked_factory.h"

// A paged select of one persistent class that a console keeps between its
// requests, so that "select next" goes on where the last page ended.
//
// The select itself (the pager of the object database) may read more rows
// than a page holds (the row pager reads at least 1000 rows at a time):
// rows beyond the page are kept as objects read from their rows and handed
// out, with their links loaded, by the next page.
//
// The query's state is its position, not an open cursor: another query's
// use or the time-out may end the transaction between pages, and the next
// page is read in a new one. A change of objects by the same console makes
// the query stale: its position no longer matches the rows.
class CIConsoleQuery {
public:
    virtual ~CIConsoleQuery() = default;

    // "db" or "pk".
    const std::string& pagerType() const { return _pagerType; }
    uint64_t pageSize() const { return _pageSize; }
    void pageSize(uint64_t size) { _pageSize = size; }

    bool stale() const { return _stale; }
    void stale(bool value) { _stale = value; }

protected:
    CIConsoleQuery(std::string pagerType, uint64_t pageSize) : _pagerType(std::move(pagerType)), _pageSize(pageSize) {}

private:
    std::string _pagerType;
    uint64_t _pageSize;
    bool _stale = false;
};

template <class T>
class CConsoleQuery : public CIConsoleQuery {
public:
    CConsoleQuery(const std::string& pagerType, uint64_t pageSize) : CIConsoleQuery(pagerType, pageSize) {}

    // Starts the select over: selectArgs as CDBPagedSelect takes them, its
    // "where" the complete condition (the security filter included).
    void open(CPrstContext& context, osk::CStringMap selectArgs)
    {
        _select.reset();
        _pending.clear();
        if (!_table) {
            auto prototype = T::createTransient(context);
            _table = std::make_unique<CDBTableInterface>(
                context.session().table(T::spec().table(), prototype->columnTypes()));
        }
        selectArgs.set_string("pager_type", pagerType());
        selectArgs.set_uint64("count", pageSize());
        _select = std::make_unique<CDBPagedSelect>(*_table, selectArgs);
        stale(false);
    }
    bool opened() const { return _select != nullptr; }

    // The next page: up to pageSize() objects, loaded in the context's open
    // transaction; empty once the select is exhausted.
    typename T::list_t nextPage(CPrstContext& context)
    {
        typename T::list_t page;
        if (!_select) return page;
        while (_pending.size() < pageSize() && !_select->done()) {
            _select->nextPage(context.transaction(), [&](const CDBRows& rows) {
                auto object = osk::CTrackedFactory::createUnique<T>(context);
                object->readRow(rows);
                _pending.push_back(std::move(object));
            });
        }
        while (page.size() < pageSize() && !_pending.empty()) {
            page.push_back(std::move(_pending.front()));
            _pending.pop_front();
        }
        // Links are read once no select of the page is open any more.
        for (auto& object : page) object->finishLoad();
        return page;
    }

private:
    std::unique_ptr<CDBTableInterface> _table;
    std::unique_ptr<CDBPagedSelect> _select;
    std::deque<typename T::ptr_t> _pending;
};
