#pragma once
// Where the program's network peers live: endpoints.ini beside the executable,
// section [Endpoints]. A missing file or key keeps the built-in default.

#include <string>

namespace app {

struct Endpoints {
    std::string google = "www.google.com";
    std::string yahoo = "search.yahoo.com";
    std::string msn = "search.msn.com";
    std::string suggest;
    std::string promotion = "http://www.tessaly.com/keyword-tool/";

    // Reads folder + "endpoints.ini" (folder ends in '/').
    static Endpoints load(const std::string& folder);
};

}  // namespace app
