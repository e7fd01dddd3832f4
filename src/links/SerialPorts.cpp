#include <libserialport.h>

#include "links/ComPort.h"

namespace zm {

int EnumSerialPorts(std::vector<std::string>& ports) {
    ports.clear();
    sp_port** ppList = nullptr;
    if (sp_list_ports(&ppList) != SP_OK || ppList == nullptr) {
        return 0;
    }
    for (sp_port** pp = ppList; *pp != nullptr; ++pp) {
        if (const char* pszName = sp_get_port_name(*pp)) {
            ports.emplace_back(pszName);
        }
    }
    sp_free_port_list(ppList);
    return static_cast<int>(ports.size());
}

}  // namespace zm
