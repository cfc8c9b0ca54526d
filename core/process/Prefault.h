#pragma once

#include <QtGlobal>

// Makes the pages of a buffer that is about to be filled present in one system call, where the
// system offers that: filling a few hundred MiB page by page would take tens of thousands of
// page faults. Only advice; small buffers are left alone.
void prefaultForWriting(void *data, qsizetype size);
