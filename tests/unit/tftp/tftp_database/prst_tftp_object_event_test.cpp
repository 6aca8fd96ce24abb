// Change events of persistent objects: the application keys, the object's
// class and OID, and a copy of its text form that later changes of the
// object do not reach.
#include "tftp/tftp_database/prst_tftp_object_event.h"

#include <gtest/gtest.h>

#include <string>

#include "prst_generic/prst_key_value.h"
#include "unit/prst_generic/prst_database_fixture.h"

namespace {

using prsttest::PrstDatabaseTest;

class PrstTFTPObjectEventTest : public PrstDatabaseTest {};

TEST_F(PrstTFTPObjectEventTest, CarriesTheObjectsTextAsItWasWhenMade)
{
    CPrstTransaction transaction(admin);
    auto record = CPrstKeyValue::createTransient(admin);
    record->string("class=event\nsubclass=s\nkey=k1\nvalue=before\n");
    const CPrstTFTPObjectEvent event(3, "add", CPrstTFTPObjectEvent::classPackage(), 7, *record);
    record->value("after");

    EXPECT_EQ(osk::CAppEvent::add, event.type());
    EXPECT_EQ("package", event.eventClass());
    EXPECT_EQ(7, event.instance());
    EXPECT_EQ(3, event.serverIndex());
    EXPECT_EQ("keyvalue", event.objectClass());
    EXPECT_EQ("before", event.attributes().get_string("value"));

    osk::CAppEvent::field_list_t fields;
    event.fields(fields);
    ASSERT_GE(fields.size(), 8u);
    EXPECT_EQ("event_type", fields[0].first);
    EXPECT_EQ("event_server", fields[5].first);
    EXPECT_EQ("object_class", fields[6].first);
    EXPECT_EQ("keyvalue", fields[6].second);
    EXPECT_EQ("object_oid", fields[7].first);
    EXPECT_EQ("-1", fields[7].second);
    osk::CStringMap map;
    event.sm(map);
    EXPECT_EQ("before", map.get_string("value"));
    EXPECT_EQ("k1", map.get_string("key"));
}

TEST_F(PrstTFTPObjectEventTest, TypesAreTheEventTypeNames)
{
    EXPECT_EQ(osk::CAppEvent::del, CPrstObjectEvent::typeOf("del"));
    EXPECT_EQ(osk::CAppEvent::modify, CPrstObjectEvent::typeOf("modify"));
    CPrstTransaction transaction(admin);
    auto record = CPrstKeyValue::createTransient(admin);
    EXPECT_TRUE(raises([&] { CPrstTFTPObjectEvent(0, "change", CPrstTFTPObjectEvent::classPackage(), 1, *record); },
                       "Cannot record the change of a persistent object.",
                       "'change' is not an event type (add, del, modify or control).", "prst_generic"));
}

} // namespace
