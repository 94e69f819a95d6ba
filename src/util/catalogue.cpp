#include "util/catalogue.h"

#include <fstream>
#include <sstream>

#include "util/log.h"

ProductCatalogue builtInCatalogue() {
    return {
        {{"gyv", {"tb_gyv_agent_event_log", "tb_gyv_device_log"}}},
        {{"hux",
          {"tb_hux_agent_event_log", "tb_hux_file_delete_result", "tb_hux_file_quarantine",
           "tb_hux_file_restore_result", "tb_hux_file_search_result", "tb_hux_rollback_status",
           "tb_hux_snapshot"}}},
        {{"wox",
          {"tb_wix_acu_event_log", "tb_wix_agent_event_log", "tb_patch_event_log",
           "tb_patch_update_log", "tb_process_block_event_log", "tb_sw_mgmt_event_log"}}},
        {{"qor",
          {"tb_agent_install_pkg_log", "tb_audit_log", "tb_backup_log", "tb_engine_update_log",
           "tb_file_permission", "tb_lus_pkg_status_log", "tb_lus_resource_log", "tb_lus_status",
           "tb_pkg_dist_log", "tb_pkg_sync_log", "tb_policy_status_log", "tb_service_log",
           "tb_task_status_log", "tb_traffic_monitor_log"}}},
        {{"dlm",
          {"tb_dalo_agent_event_log", "tb_dalo_appeal_approval_event_log",
           "tb_dalo_node_mgmt_file", "tb_dalo_print_log", "tb_dalo_privacy_handle_event_log",
           "tb_dalo_privacy_info_log", "tb_dalo_privacy_leakage_log"}}},
        {{"fyx",
          {"tb_fyx_agent_event_log", "tb_fyx_event_log", "tb_fyx_node_survey",
           "tb_fyx_node_weak", "tb_fyx_node_weak_time"}}},
        {{"zq",
          {"tb_j4_alert_log", "tb_j4_device_log", "tb_j4_is_log", "tb_j4_pm_log",
           "tb_j4_scan_exception", "tb_j4_ss_log", "tb_j4_sup_log"}}},
        {{"report",
          {"tb_report_status", "tb_report_summary_data", "tb_report_data",
           "tb_base_report_data"}}},
    };
}

bool setMigrationList(const std::string& path, ProductCatalogue& migrationList) {
    if (path.empty()) return true;
    std::ifstream file(path);
    if (!file.is_open()) {
        LOG(path, " file is not found.");
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    LOG("File Data");
    LOG("\n", text.str());
    migrationList = parseSectionList(text.str());
    return true;
}

bool isSelected(const std::string& key, const std::string& name, const std::string& product,
                const std::string& table) {
    return (table.empty() || table == name) && (product.empty() || product == key);
}

void forEachCollection(const ProductCatalogue& catalogue,
                       const std::function<void(const std::string& key,
                                                 const std::string& name)>& visit) {
    for (const auto& entry : catalogue) {
        for (const auto& [key, names] : entry) {
            for (const std::string& name : names) visit(key, name);
        }
    }
}

std::string toOlapTableName(const std::string& collection) {
    std::string name = collection;
    const std::size_t at = name.find("j4");
    if (at != std::string::npos) name.replace(at, 2, "zq");
    return name;
}

std::string stagingTableName(const std::string& collection) {
    return "mig_" + toOlapTableName(collection);
}

std::string completedTableName(const std::string& collection) {
    return "mig_" + toOlapTableName(collection) + "_completed";
}
