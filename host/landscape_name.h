// The landscape file a name on the command line stands for.
#pragma once

#include <string>
#include <vector>

// The name itself when it is a file; else, since batch lists name landscapes without
// extension, the name with ".json" when that is a file. Empty when neither is; `tried`
// lists the names looked at, for the message.
std::string FindLandscapeFile(const std::string& name, std::vector<std::string>& tried);
