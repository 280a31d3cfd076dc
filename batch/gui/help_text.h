// The help text a new batch list starts with: comment lines, which the batch walk skips.
#pragma once

// 29 lines, each beginning with '/' and ending with a carriage return and a line feed.
extern const char* const BatchHelpText;
