#include "udb_schema.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"
#include "udb_test_support.h"

namespace {

udb_schema sample_schema()
{
    udb_schema s;
    s.push_back(column(u"ID"));
    s.push_back(column(u"Größe", VT_R8, 8));
    s.push_back(column(u"Цена", VT_CY, 8));
    return s;
}

void expect_out_of_range(const std::function<void()>& body)
{
    try {
        body();
        ADD_FAILURE() << "no std::out_of_range";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
    }
}

}  // namespace

TEST(t_ftd, from_field_takes_the_kind_of_its_value_and_traces)
{
    udb_field field(u"Qty", 2, ole_variant(short(7)), false, true);
    t_ftd f(field, ole_variant(), 0);
    EXPECT_EQ(f.name, u"Qty");
    EXPECT_EQ(f.size, 2u);
    EXPECT_EQ(f.vartype, VT_I2);
    EXPECT_TRUE(f.b_auto_increment);
    EXPECT_FALSE(f.b_not_null);
    EXPECT_TRUE(f.def_value.is_empty());
    trace_capture trace;
    t_ftd g(10, u"Größe", VT_BSTR, true, false, ole_variant(), 0);
    EXPECT_TRUE(trace.has_line("t_ftd::ctor2"));
    EXPECT_TRUE(trace.has_line("Got field 'Größe', vartype=8, size=10, b_not_null=1")) << trace.text();
}

TEST(udb_schema, searches_fold_case)
{
    const udb_schema s = sample_schema();
    EXPECT_TRUE(s.find_field(u"id"));
    EXPECT_TRUE(s.find_field(u"GRÖSSE"));
    EXPECT_TRUE(s.find_field(u"ЦЕНА"));
    EXPECT_FALSE(s.find_field(u"Name"));
    EXPECT_EQ(s.get_field_idx(u"Id"), 0);
    EXPECT_EQ(s.get_field_idx(u"grösse"), 1);
    EXPECT_EQ(s.get_field_idx(u"цена"), 2);
    EXPECT_EQ(s.get_field_idx(u"Name"), -1);
    EXPECT_EQ(s.get_field(u"größe").vartype, VT_R8);
}

TEST(udb_schema, missing_descriptor_is_an_internal_error)
{
    udb_schema s = sample_schema();
    expect_assertion([&] { s.get_field(u"Name"); }, "udb_schema.cpp");
    const udb_schema& cs = s;
    expect_assertion([&] { cs.get_field(u"Name"); }, "udb_schema.cpp");
}

TEST(udb_schema, index_past_the_end_is_out_of_range)
{
    const udb_schema s = sample_schema();
    EXPECT_EQ(s[2].name, u"Цена");
    expect_out_of_range([&] { (void)s[3]; });
    expect_out_of_range([&] { (void)udb_schema()[0]; });
}

TEST(udb_schema, borrowing_schema_leaves_descriptors_alone)
{
    auto a = column(u"A");
    auto b = column(u"B");
    {
        udb_schema borrowed(false);
        borrowed.push_back(a.get());
        borrowed.push_back(b.get());
        EXPECT_FALSE(borrowed.owns_descriptors());
        udb_schema copy = borrowed;  // borrows the same descriptors
        EXPECT_EQ(&copy[1], b.get());
        // A borrowing schema cannot keep an object it would have to delete.
        EXPECT_THROW(borrowed.push_back(column(u"C")), tk_mail_assertion);
    }
    // Still alive: the sanitizer build would flag a use after free here.
    EXPECT_EQ(a->name, u"A");
    EXPECT_EQ(b->name, u"B");
}

TEST(udb_schema, copy_of_owning_schema_is_deep)
{
    udb_schema original = sample_schema();
    udb_schema copy = original;
    ASSERT_EQ(copy.size(), 3u);
    EXPECT_NE(&copy[0], &original[0]);
    copy[0].name = u"Changed";
    EXPECT_EQ(original[0].name, u"ID");

    udb_schema assigned(false);
    assigned = original;
    EXPECT_TRUE(assigned.owns_descriptors());
    EXPECT_NE(&assigned[1], &original[1]);

    udb_schema moved = std::move(copy);
    EXPECT_EQ(moved[0].name, u"Changed");
    EXPECT_EQ(moved.size(), 3u);
}

TEST(udb_schema, owning_schema_adopts_raw_pointers)
{
    udb_schema s;
    s.push_back(new t_ftd(1, u"Flag", VT_BOOL, false, false, ole_variant(), 0));
    EXPECT_EQ(s.size(), 1u);
    EXPECT_THROW(s.push_back(static_cast<t_ftd*>(nullptr)), tk_mail_assertion);
    s.clear();
    EXPECT_TRUE(s.empty());
}

TEST(udb_record, owns_fields_in_order)
{
    udb_record r;
    r.push_back(std::make_unique<udb_field>(u"A", 4, ole_variant(1), false, false));
    r.push_back(std::make_unique<udb_field>(u"B", 4, ole_variant(u"x"), false, false));
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].name, u"A");
    EXPECT_EQ(r[1].get_type(), VT_BSTR);
    expect_out_of_range([&] { (void)r[2]; });
    EXPECT_THROW(r.push_back(nullptr), tk_mail_assertion);

    udb_record moved = std::move(r);
    EXPECT_EQ(moved.size(), 2u);
}
