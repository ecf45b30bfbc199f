#include "FatalError.h"

#include <cstdio>
#include <string>

#include "ErrorHandling.h"
#include "OString.h"

namespace FatalError {

void print()
{
    const OString text = ErrorHandling::currentErrorText();
    std::string line("FATAL: ");
    for (TInt i = 0; i < text.length(); ++i)
        line += static_cast<char>(text.charAt(i));
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}
