#ifndef KELVO_FATALERROR_H
#define KELVO_FATALERROR_H

// The last-chance report of an error that nothing in the machine handled.
namespace FatalError {

// Writes "FATAL: " and the calling thread's error text, one byte per
// character, as a line on the standard error stream.
void print();

}

#endif
