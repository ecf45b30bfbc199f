// The reference pages: every entry described, the checked-in pages what
// kelvo-ref writes today, and the worked examples true on the machine.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ErrorHandling.h"
#include "NativeNames.h"
#include "Opcodes.h"
#include "ProgramTestSupport.h"
#include "RecordingServices.h"
#include "Reference.h"

namespace {

std::vector<std::string> items(const std::string& aList, const std::string& aSeparator)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < aList.size()) {
        const std::size_t end = aList.find(aSeparator, start);
        result.push_back(aList.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + aSeparator.size();
    }
    return result;
}

// A stack column written as a plain count; -1 for one that depends on an
// operand ("n + 1").
TInt countOf(const char* aColumn)
{
    const std::string column = aColumn;
    return column.find_first_not_of("0123456789") == std::string::npos ? std::stoi(column) : -1;
}

std::string readFile(const std::string& aPath)
{
    std::ifstream file(aPath, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

void expectCurrent(const std::string& aPage, const std::string& aGenerated)
{
    const std::string path = std::string(KELVO_REFERENCE_DIR) + "/" + aPage;
    EXPECT_TRUE(readFile(path) == aGenerated)
        << path << " is not what the tables generate; regenerate it with\n  " << KELVO_REF_TOOL << " "
        << KELVO_REFERENCE_DIR;
}

}

TEST(InstructionReference, EveryOperationHasItsTextAndItsStackAgreesWithTheCounts)
{
    for (TInt number = 0; number < 256; ++number) {
        const TUint8 opcode = static_cast<TUint8>(number);
        const Opcodes::Reference* text = Opcodes::reference(opcode);
        if (!Opcodes::isValid(opcode)) {
            EXPECT_EQ(text, nullptr) << number;
            continue;
        }
        ASSERT_NE(text, nullptr) << number;
        const char* mnemonic = Opcodes::info(opcode).mnemonic;
        EXPECT_STRNE(text->does, "") << mnemonic << " says nothing of what it does";
        EXPECT_EQ(items(text->names, ", ").size(), static_cast<std::size_t>(Opcodes::info(opcode).operandCount))
            << mnemonic << " names its operands \"" << text->names << "\"";
        const TInt pops = countOf(text->pops);
        const TInt pushes = countOf(text->pushes);
        if (pops < 0 || pushes < 0)
            continue;
        const TInt before = static_cast<TInt>(items(text->before, ", ").size());
        const TInt after = static_cast<TInt>(items(text->after, ", ").size());
        EXPECT_GE(before, pops) << mnemonic << " reads \"" << text->before << "\"";
        EXPECT_EQ(after - before, pushes - pops)
            << mnemonic << ": \"" << text->before << "\" becomes \"" << text->after << "\"";
    }
}

TEST(InstructionReference, TheCheckedInPageIsWhatTheTablesGenerate)
{
    expectCurrent("instructions.md", Reference::instructions());
}

TEST(NativeReference, EveryOperationSaysItsOperandsResultAndErrors)
{
    for (const NativeNames::Family& family : NativeNames::families()) {
        for (const NativeNames::Operation& operation : family.operations) {
            EXPECT_TRUE(operation.operands && operation.result && operation.errors)
                << family.name << "." << operation.name << " has no description";
        }
    }
}

TEST(NativeReference, TheCheckedInPageIsWhatTheTablesGenerate)
{
    expectCurrent("natives.md", Reference::natives());
}

TEST(InstructionReference, TheWorkedExamplesLogWhatTheySay)
{
    ASSERT_FALSE(Reference::examples().empty());
    for (const Reference::Example& example : Reference::examples()) {
        RecordingServices services;
        VirtualMachine machine;
        try {
            ProgramTestSupport::loadProgram(machine, example.program, services);
        } catch (const ApplicationExit&) {
        } catch (const ErrorHandlingException&) {
            ADD_FAILURE() << example.title << ": the machine stopped: "
                          << RecordingServices::text(ErrorHandling::currentErrorText());
        }
        std::vector<std::string> logs = items(example.logs, "\n");
        EXPECT_EQ(services.logLines, logs) << example.title;
    }
}
