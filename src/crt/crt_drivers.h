// The console's text drivers: the standard output paints straight into the
// console screen buffer, cell by cell in CurrentAttr; the standard input
// reads edited lines from the keyboard.
#pragma once

#include "rtl/halt.h"
#include "rtl/text_file.h"

namespace crt {

// Prepares a record for the console: closed, own buffer, ConsoleOpen as its
// open routine.
void BindConsole(rtl::TextRec& rec);

int ConsoleOpen(rtl::TextRec& rec);
// The output's in/out and flush routine: paints the buffered bytes.
int ConsoleWrite(rtl::TextRec& rec);
// The input's in/out routine: reads one line, echoing it.
int ConsoleReadLine(rtl::TextRec& rec);
int ConsoleNoFlush(rtl::TextRec& rec);
int ConsoleClose(rtl::TextRec& rec);

// Binds the standard input and output to the console when the program is a
// console program.
void ConsoleUnitStart();

extern const rtl::UnitInfo CrtUnit;

}  // namespace crt
