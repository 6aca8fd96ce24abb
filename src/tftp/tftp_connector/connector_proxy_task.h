#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "extended/command_queue_task.h"
#include "oodb/db_base_session.h"
#include "oodb_persistence/db_time_out_mgr.h"
#include "oodb_persistence/prst_query_time_out.h"
#include "prst_generic/prst_capability.h"
#include "prst_generic/prst_context.h"
#include "prst_generic/prst_device_access_control.h"
#include "prst_generic/prst_role.h"
#include "prst_generic/prst_sql_query.h"
#include "prst_generic/prst_user_account.h"
#include "rconsole_base/i_direct_reply_proxy.h"
#include "rconsole_base/text_command.h"
#include "rconsole_database/cmd_change_persistent.h"
#include "rconsole_database/cmd_count_persistent.h"
#include "rconsole_database/cmd_dump_raw.h"
#include "rconsole_database/cmd_insert_persistent.h"
#include "rconsole_database/cmd_select_persistent.h"
#include "rconsole_database/console_query.h"
#include "rconsole_database/rconsole_database_messages.h"
#include "security/user_access_token.h"
#include "standard/tracked_factory.h"
#include "tftp/tftp_connector/tftp_connector_messages.h"
#include "tftp/tftp_database/prst_tftp_context.h"
#include "tftp/tftp_database/prst_tftp_meta_abstract_factory.h"
#include "tftp/tftp_database/tftp_format_type.h"

class CIDBFacadeFactory;
class CITFTPController;

// Whether only members of the administrators' domain may insert, update and
// delete objects of class T (the classes that hand out rights).
template <class T>
struct CConnectorClassTraits {
    static constexpr bool superUserOnly = false;
};

template <>
struct CConnectorClassTraits<CPrstDeviceAccessControl> {
    static constexpr bool superUserOnly = true;
};

template <>
struct CConnectorClassTraits<CPrstCapability> {
    static constexpr bool superUserOnly = true;
};

// Console users and their roles decide what every console may do.
template <>
struct CConnectorClassTraits<CPrstUserAccount> {
    static constexpr bool superUserOnly = true;
};

template <>
struct CConnectorClassTraits<CPrstRole> {
    static constexpr bool superUserOnly = true;
};

template <>
struct CConnectorClassTraits<CPrstSQLQuery> {
    static constexpr bool superUserOnly = true;
};

// The task through which one console connection reaches the service's
// database ("connector-proxy-task", one thread). It owns the connection's
// database session and persistence context, the paged queries the console
// keeps open between requests and the time-out that commits a read
// transaction a select left open.
//
// The console's thread calls the operations; each builds a command, posts it
// to this task's thread and waits for it, so the database work of one
// console is serialised. Selects stream the objects they find through the
// console's reply proxy from this task's thread while the console's thread
// waits. The query store is touched by the console's thread only while no
// command runs (it waits for every command it posts), and by no other.
//
// Configuration: rconsole.max_select_count caps the page size of every
// select, rconsole.commit_time_out is the time after which the time-out
// commits a select's read transaction, rconsole.force_commit_after_select
// commits it after every page instead.
class CConnectorProxyTask : public osk::CCommandQueueTask<> {
public:
    static const char* const taskLabel;

    // Throws "Cannot retrieve database session." when no database facade
    // plug-in is loaded or the service has no open database.
    explicit CConnectorProxyTask(CITFTPController* controller);
    ~CConnectorProxyTask() override;

    // Object operations of class T; select and select-next stream through
    // reply. Each returns the command's reply or throws its error.
    template <class T>
    CTextCommand select(CIDirectReplyProxy& reply, const osk::CUserAccessToken& token, const osk::CStringMap& request)
    {
        return _select<T, CCmdSelectPersistent<T>>(reply, token, request, false);
    }
    template <class T>
    CTextCommand selectNext(CIDirectReplyProxy& reply, const osk::CUserAccessToken& token,
                            const osk::CStringMap& request)
    {
        return _select<T, CCmdSelectNextPersistent<T>>(reply, token, request, true);
    }
    template <class T>
    CTextCommand count(const osk::CUserAccessToken& token, const osk::CStringMap& request)
    {
        return _plain<CCmdCountPersistent<T>>(token, request);
    }
    template <class T>
    CTextCommand insert(const osk::CUserAccessToken& token, const osk::CStringMap& request)
    {
        return _change<T, CCmdInsertPersistent<T>>(token, request);
    }
    template <class T>
    CTextCommand update(const osk::CUserAccessToken& token, const osk::CStringMap& request)
    {
        return _change<T, CCmdUpdatePersistent<T>>(token, request);
    }
    template <class T>
    CTextCommand remove(const osk::CUserAccessToken& token, const osk::CStringMap& request)
    {
        return _change<T, CCmdDeletePersistent<T>>(token, request);
    }

    // The login look-up of user (see CLoginCredentials): its rights per
    // domain, its domains for new objects, its locale and its stored
    // (enciphered) password text. Throws "Cannot determine access rights
    // for user '%1'." when the account cannot be used.
    void findLoginCredentials(const std::string& user, osk::CTableRights& tableRights,
                              std::vector<osk::CDomainID>& createRights, std::string& locale,
                              std::string& password) const;

    // The raw dumps; both need the administrators' domain with read.
    CTextCommand rawDumpContextIndependent(CIDirectReplyProxy& reply, const osk::CUserAccessToken& token,
                                           const osk::CStringMap& request);
    CTextCommand rawDumpContextSpecific(CIDirectReplyProxy& reply, const osk::CUserAccessToken& token,
                                        const osk::CStringMap& request);

    // Marks the stored query of key out of date; throws "Unable to
    // invalidate query." for a key without one.
    void invalidateProxy(const std::string& key);
    // The database session's aliases.
    CTextCommand getAliases() const;
    // "names": the formal names of the session's persistent classes.
    CTextCommand getPrstObjectNames() const;

    CTFTPFormatType formatType() const { return _context->formatType(); }
    void formatType(const CTFTPFormatType& type) { _context->formatType(type); }
    bool serializeNumeric() const { return _context->serializeNumeric(); }
    void serializeNumeric(bool numeric) { _context->serializeNumeric(numeric); }

    // The key under which a request's paged query of a class is stored.
    static std::string queryKey(const std::string& className, const std::string& pager);
    // The pager of a select that names none.
    static constexpr const char* defaultPagerType = "pk";
    // Throws the security error "Unable to execute privileged command."
    // unless the token holds the administrators' domain.
    static void requireSuperUser(const osk::CUserAccessToken& token);

    // The first loaded database facade plug-in, or null: consoles reach the
    // database only through one.
    static CIDBFacadeFactory* databaseFacade(const osk::CMasterController& controller);

protected:
    int _daemon() override;

private:
    template <class T, class Command>
    CTextCommand _select(CIDirectReplyProxy& reply, const osk::CUserAccessToken& token, const osk::CStringMap& request,
                         bool next)
    {
        CConsoleQuery<T>& query = _query<T>(CSQLOperationArgs(request, token), next);
        CTextCommand answer;
        CCmdSQLOperation::result_t result(controller(), &answer);
        return _post(
            osk::CTrackedFactory::create<Command>(reply, query, _policy, *_context, token, *_timeOut, request, result),
            result);
    }
    template <class Command>
    CTextCommand _plain(const osk::CUserAccessToken& token, const osk::CStringMap& request)
    {
        CTextCommand answer;
        CCmdSQLOperation::result_t result(controller(), &answer);
        return _post(osk::CTrackedFactory::create<Command>(*_context, token, *_timeOut, request, result), result);
    }
    template <class T, class Command>
    CTextCommand _change(const osk::CUserAccessToken& token, const osk::CStringMap& request)
    {
        if (CConnectorClassTraits<T>::superUserOnly) requireSuperUser(token);
        // A change makes every open page stale.
        _markAllStale();
        return _plain<Command>(token, request);
    }

    // The stored query of the request's key, found or made (see the class
    // comment); a select-next without one throws "Cannot find query for
    // pager %1, type %2.".
    template <class T>
    CConsoleQuery<T>& _query(const CSQLOperationArgs& args, bool next)
    {
        const std::string key = queryKey(T::spec().className(), args.pager());
        const std::string pagerType = args.pagerType().empty() ? defaultPagerType : args.pagerType();
        auto found = _queries.find(key);
        if (next) {
            if (found == _queries.end()) _noQuery(args.pager(), pagerType);
            if (found->second->stale()) _stale(args.pager());
        } else if (found == _queries.end() || found->second->pagerType() != pagerType) {
            found = _queries.insert_or_assign(key, std::make_unique<CConsoleQuery<T>>(pagerType, 0)).first;
        }
        CIConsoleQuery& query = *found->second;
        if (!next) query.pageSize(_pageSize(args, query.pageSize()));
        return static_cast<CConsoleQuery<T>&>(query);
    }

    CTextCommand _post(CCmdSQLOperation* command, const CCmdSQLOperation::result_t& result);
    void _markAllStale();
    uint64_t _pageSize(const CSQLOperationArgs& args, uint64_t current) const;
    [[noreturn]] static void _stale(const std::string& pager);
    [[noreturn]] static void _noQuery(const std::string& pager, const std::string& pagerType);
    CTextCommand _dump(int kind, CIDirectReplyProxy& reply, const osk::CUserAccessToken& token,
                       const osk::CStringMap& request);

    CIDBFacadeFactory& _facade;
    std::unique_ptr<CDBBaseSession> _session;
    CPrstTFTPMetaAbstractFactory _factory;
    osk::CTrackedPtr<CPrstTFTPContext> _context;
    std::unique_ptr<CDBTimeOutMgr> _timeOutManager;
    std::unique_ptr<CPrstQueryTimeOut> _timeOut;
    std::map<std::string, std::unique_ptr<CIConsoleQuery>> _queries;
    CSelectTransactionPolicy _policy;
    uint64_t _maxSelectCount = 10000;
};
