#pragma once

class CPrstUserBase;

// A relation of a persistent object to other rows (a reference, a link
// table), registered with its owner on construction. The owner calls the
// hooks around its own row: references write their target before the row
// (the row holds the target's OID), links write their rows after it (they
// hold the owner's OID). The owner's OID is known at every hook.
class CPrstRelation {
public:
    explicit CPrstRelation(CPrstUserBase& owner);
    virtual ~CPrstRelation() = default;
    CPrstRelation(const CPrstRelation&) = delete;
    CPrstRelation& operator=(const CPrstRelation&) = delete;

    CPrstUserBase& owner() const { return _owner; }

    virtual void beforeWrite() {}
    virtual void afterWrite() {}
    // After the owner's row was read.
    virtual void afterLoad() {}
    // Before the owner's row is deleted.
    virtual void beforeDelete() {}
    // After the owner's row was deleted.
    virtual void afterDelete() {}
    // Takes back the changes made since the last load or write.
    virtual void rollback() = 0;

private:
    CPrstUserBase& _owner;
};
