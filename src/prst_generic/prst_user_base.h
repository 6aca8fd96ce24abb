#pragma once

// The persistent object model.
//
// A persistent class derives from one of three class templates, each
// parameterised by the class itself:
//   CIPersistentObject<T>        an auxiliary record (a row with PK and OID);
//   CFirstClassObject<T>         adds MOD_TIME and the text attributes "oid"
//                                and "mod_time";
//   CPersistentSecuredObject<T>  adds SECURED_REF, the text attribute
//                                "domains" and the read and write checks of
//                                the context's access token.
// The row's PK is the object's OID.
//
// A class declares:
//   - its table and formal name in a static _makeSpec() that returns a
//     CPrstClassSpec (CIPersistentObject<T>::spec() builds it once); the
//     spec also names the SQL column of each text attribute that is not
//     "T." + its name. The column types need no second list: columnTypes()
//     of a prototype object collects them from the members;
//   - its columns as members: CPrstAttr<T> for a value (column name, text
//     attribute name or "" for none, default), CPrstFKAttr for a bare OID,
//     CPrstRefAttr<Target> for a referenced record that is loaded, written
//     and (when owned) deleted with the owner;
//   - its links as members: CPrstOwnedLinkAttr<Target> for one-to-many
//     records kept in a link table (plain, ordered or by name),
//     CPrstBiLinkAttr for a many-to-many link table shared by both sides;
//   - text attributes that are not a column's own text by overriding _get
//     and _set (calling the base class first).
// Members register themselves with the object in declaration order; the
// row's columns are written in that order.
//
// Objects are made with createTransient(context), load(context, oid) or
// fastSelectRec(context, statement, arguments, maximum), which run the
// named statements of the statement file. commit() inserts a new object or
// updates an existing one, refresh() rereads it, rollback() takes back the
// changes since the last load or commit, deletePersistent() deletes its row
// with its link rows and owned records. All of them work in the context's
// open transaction (CPrstTransaction).

#include <cstdint>
#include <string>
#include <vector>

#include "oodb/db_rows.h"
#include "oodb/db_type_string_map.h"
#include "prst_generic/prst_class_spec.h"
#include "standard/string_map.h"

class CPrstColumnAttr;
class CPrstContext;
class CPrstRelation;

// The part of every persistent object that does not depend on its class:
// its identity, its registered columns and relations, its row in the
// database and its text form.
class CPrstUserBase {
public:
    static constexpr int64_t noOid = -1;

    virtual ~CPrstUserBase() = default;
    CPrstUserBase(const CPrstUserBase&) = delete;
    CPrstUserBase& operator=(const CPrstUserBase&) = delete;

    virtual const CPrstClassSpec& classSpec() const = 0;
    CPrstContext& context() const { return _context; }

    int64_t oid() const { return _oid; }
    // Whether the object has a row in the database.
    bool existing() const { return _existing; }

    // The text form: one line per text attribute.
    std::string string() const;
    // Sets the attributes named in text; others keep their values.
    void string(const std::string& text);
    osk::CStringMap attributes() const;
    void attributes(const osk::CStringMap& map) { _set(map); }

    // The text that names the object to a console user.
    virtual std::string locator() const;

    void commit();
    void refresh();
    void rollback();
    void deletePersistent();

    // The column types of the registered columns, with PK and OID: the
    // record layout of the class.
    CDBTypeStringMap columnTypes() const;

    // Reads the object's row; then finishLoad() loads its relations. The
    // loaders of CIPersistentObject call them in two passes, so that no
    // select is open while relations run their own.
    void readRow(const CDBRows& rows);
    void finishLoad();

protected:
    explicit CPrstUserBase(CPrstContext& context) : _context(context) {}

    // Text attributes out and in. The base writes and reads the registered
    // columns that have a text name.
    virtual void _get(osk::CStringMap& map) const;
    virtual void _set(const osk::CStringMap& map);

    // Hooks of the write: _checkWrite before anything is written (a refusal
    // throws), _beforeWrite once the OID is known, before the relations and
    // the row are written, _afterLoad once row and relations are read,
    // _beforeDelete before the relations and the row of an existing object
    // are deleted (in the same transaction).
    virtual void _checkWrite() const {}
    virtual void _beforeWrite() {}
    virtual void _afterLoad() {}
    virtual void _beforeDelete() {}

    // A transient object takes the OID given in text (an existing object
    // keeps its own).
    void _oidFromText(const std::string& text);
    // A transient object that must be inserted under a well-known identity
    // (built-in records): its first commit uses oid instead of drawing one
    // from the table's sequence.
    void _wellKnownOid(int64_t oid);
    // Remembers the column values, to which rollback() returns.
    void _snapshot();

private:
    friend class CPrstColumnAttr;
    friend class CPrstRelation;
    void _register(CPrstColumnAttr& column) { _columns.push_back(&column); }
    void _register(CPrstRelation& relation) { _relations.push_back(&relation); }

    void _insertRow();
    void _updateRow();

    CPrstContext& _context;
    int64_t _oid = noOid;
    bool _existing = false;
    bool _oidWellKnown = false;
    std::vector<CPrstColumnAttr*> _columns;
    std::vector<CPrstRelation*> _relations;
    std::vector<std::string> _saved;
};
