#include "app/Endpoints.h"

#include "rtl/IniReader.h"

namespace app {

Endpoints Endpoints::load(const std::string& folder) {
    Endpoints endpoints;
    const auto ini = rtl::TIniReader::fromFile(folder + "endpoints.ini");
    auto take = [&](const char* key, std::string& field) {
        const std::string value = ini.readString("Endpoints", key);
        if (!value.empty()) field = value;
    };
    take("Google", endpoints.google);
    take("Yahoo", endpoints.yahoo);
    take("Msn", endpoints.msn);
    take("Suggest", endpoints.suggest);
    take("Promotion", endpoints.promotion);
    return endpoints;
}

}  // namespace app
