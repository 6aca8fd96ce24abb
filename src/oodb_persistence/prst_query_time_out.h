#pragma once

#include <ace/Time_Value.h>

#include <cstdint>

#include "extended/i_command_queue_task.h"
#include "extended/master_controller.h"
#include "oodb/db_transaction.h"
#include "oodb_persistence/db_time_out_mgr.h"
#include "standard/general_ptr.h"

// The time-out of a long query: while a query's transaction stays open (a
// paged select waiting for its next page, say), a timer runs; when it fires,
// the transaction's pending work is committed hard, so an abandoned query
// does not hold its snapshot and locks for ever. Finishing the query cancels
// the timer.
//
// Serialisation: the transaction belongs to the owner task, a command-queue
// task whose thread runs the queries. start() and finish() are called on
// that thread (start() refuses any other). The timer itself lives on the
// timeout manager's thread, which touches no transaction: when the timer
// fires it posts a CCmdQueryTimeOut to the owner task, and the owner's
// thread commits between its other commands. The owner's use of the
// transaction and the time-out's commit therefore never overlap; a query in
// progress always finishes first. An expiry that reaches the owner after
// finish() or after a new start() carries an outdated generation and does
// nothing. After a time-out the transaction is no longer active: the owner
// must look (isActiveTransaction()) before it uses it again.
class CPrstQueryTimeOut {
public:
    // What the expiry command shares with its time-out; touched only on the
    // owner's thread.
    struct CArmed {
        osk::CMasterController* controller = nullptr;
        CDBTransaction* transaction = nullptr;
        long timerId = -1;
        uint64_t generation = 0;
    };

    CPrstQueryTimeOut(osk::CMasterController* controller, CDBTimeOutMgr& manager, const osk::CICommandQueueTask& owner);
    // Cancels a timer still running.
    ~CPrstQueryTimeOut();
    CPrstQueryTimeOut(const CPrstQueryTimeOut&) = delete;
    CPrstQueryTimeOut& operator=(const CPrstQueryTimeOut&) = delete;

    // Arms the time-out for transaction, replacing a running one. Throws
    // "Failed to initialize timeout manager." when the manager cannot arm
    // it; transaction must outlive finish().
    void start(const ACE_Time_Value& delay, CDBTransaction& transaction);
    // Cancels the timer; nothing happens when none runs.
    void finish();

    bool armed() const { return _armed->transaction != nullptr; }
    long timerId() const { return _armed->timerId; }

    // The expiry of generation, on the owner's thread: commits the armed
    // transaction when generation is still the armed one.
    static void expire(CArmed& armed, uint64_t generation);

private:
    osk::CMasterController* _controller;
    CDBTimeOutMgr& _manager;
    const osk::CICommandQueueTask& _owner;
    osk::CGeneralPtr<CArmed> _armed;
};
