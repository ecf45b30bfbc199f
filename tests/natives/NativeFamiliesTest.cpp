// The group table of instruction 78: what the lookup by code relies on and
// what the disassembler prints must hold for every family.

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "NativeFamily.h"
#include "NativeGroups.h"

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
