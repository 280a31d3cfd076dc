// The landscape orvelle2 renders when no file is given.
#pragma once

extern const char* const DefaultLandscapeText;
