#ifndef KELVO_ASMSYMBOLS_H
#define KELVO_ASMSYMBOLS_H

#include "Assembler.h"
#include "SymbolFile.h"

// What the symbol file beside an assembled image keeps of its text.
namespace AsmSymbols {

// The symbols of aAssembly, tied to its bytes: every label, the methods
// (entries of the static and virtual tables and targets of call, each
// named by the first label of its entry), the classes by name and the
// source line of every code position. An image cut short keeps only the
// symbols of what it holds.
SymbolFile::Symbols of(const Assembler::Assembly& aAssembly);

}

#endif
