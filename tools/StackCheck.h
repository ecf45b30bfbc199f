#ifndef KELVO_STACKCHECK_H
#define KELVO_STACKCHECK_H

#include <string>
#include <vector>

#include "Assembler.h"

// The check of the stack that kelvo-asm makes of every method it
// assembles, before an image with an unbalanced stack can run on and fail
// far from the fault: the heights of the stack where ways join agree,
// every ret finds its return address and takes away what its method's
// record says, every call finds on the stack the slots that the called
// method's record takes, and every native the slots it takes.
//
// Heights are counted in slots above the method's return address, from
// the operation table's stack effects and, after a native, from the slots
// that the native names' table says it takes and leaves; a native that
// never returns ends its way. A native that the table does not count or
// an extension leaves a number of slots that no table gives, a jump into
// the middle of an instruction or outside the code goes where the text
// does not say, and a
// method without a record says nothing of its arguments: from there on
// the check says nothing about what it cannot know, so that every problem
// it reports is one that a run can meet. The assembler's library does not
// check by itself: tests write broken programs on purpose.
namespace StackCheck {

// The problems of aAssembly's methods, at most one for each method, in the
// order of their entries, each as "FILE:LINE: in method NAME: reason"
// with the line of the instruction at fault and the first label of the
// method's entry. Methods are the entries of the static and virtual
// method tables and the targets of calls.
std::vector<std::string> check(const Assembler::Assembly& aAssembly);

}

#endif
