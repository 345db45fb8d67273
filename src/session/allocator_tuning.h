#pragma once

// Process-wide allocator settings for programs that move files with the
// engine. Called once at the start of main().
void tuneAllocatorForTransfers();
