// The group table of instruction 78: what the lookup by code relies on must
// hold for every family, and the tools' table of names must name exactly
// the operations that the machine runs.

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "NativeFamily.h"
#include "NativeGroups.h"
#include "NativeNames.h"

TEST(NativeFamilies, EveryFamilyHasDistinctCodesAndNames)
{
    TInt families = 0;
    for (TInt group = 0; group < EGroupLimit; ++group) {
        const NativeFamily* family = NativeFamilies::family(group);
        if (!family)
            continue;
        ++families;
        SCOPED_TRACE(family->name);
        std::set<TInt> codes;
        std::set<std::string> names;
        for (const NativeOperation& operation : family->operations) {
            EXPECT_GE(operation.code, NativeFamilies::KLowestCode);
            EXPECT_LE(operation.code, NativeFamilies::KHighestCode);
            EXPECT_TRUE(codes.insert(operation.code).second) << "code " << operation.code << " twice";
            ASSERT_NE(operation.name, nullptr) << "code " << operation.code;
            EXPECT_STRNE(operation.name, "") << "code " << operation.code;
            EXPECT_TRUE(names.insert(operation.name).second) << operation.name << " twice";
            EXPECT_NE(operation.handler, nullptr) << operation.name;
            EXPECT_EQ(NativeFamilies::operation(group, operation.code), &operation) << operation.name;
        }
    }
    EXPECT_GT(families, 0);
}

// The assembler accepts a name only when the name table has it and the
// disassembler prints what the table says: a handler that the table lacks,
// names differently, or a name without a handler fails here.
TEST(NativeFamilies, TheNameTableNamesEveryHandlerAndNothingElse)
{
    for (TInt group = 0; group < 256; ++group) {
        const NativeFamily* family = NativeFamilies::family(group);
        const NativeNames::Family* named = NativeNames::family(group);
        ASSERT_EQ(family == nullptr, named == nullptr) << "group " << group;
        if (!family)
            continue;
        SCOPED_TRACE(family->name);
        EXPECT_STREQ(named->name, family->name);
        EXPECT_EQ(named->group, group);
        for (TInt code = NativeFamilies::KLowestCode; code <= NativeFamilies::KHighestCode; ++code) {
            const NativeOperation* operation = NativeFamilies::operation(group, code);
            const NativeNames::Operation* name = NativeNames::operation(group, code);
            ASSERT_EQ(operation == nullptr, name == nullptr) << "code " << code;
            if (operation) {
                EXPECT_STREQ(name->name, operation->name) << "code " << code;
            }
        }
        EXPECT_EQ(named->operations.size(), family->operations.size());
    }
}

// "native Group.name" must mean one operation.
TEST(NativeFamilies, FamilyNamesAreDistinct)
{
    std::set<std::string> names;
    for (const NativeNames::Family& family : NativeNames::families()) {
        EXPECT_TRUE(names.insert(family.name).second) << family.name << " twice";
        EXPECT_EQ(std::string(family.name).find('.'), std::string::npos) << family.name;
        EXPECT_EQ(NativeNames::findFamily(family.name), &family);
        for (const NativeNames::Operation& operation : family.operations)
            EXPECT_EQ(NativeNames::findOperation(family, operation.name), &operation) << operation.name;
    }
}
