// The device-maintenance dialog.
#include "standin/maintenance/run_qn_device_maintenance.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <string>
#include <vector>

#include "GenApi/GenApi.h"
#include "nqx/nqx.h"

namespace {

struct Register {
  const char* name;
  uint64_t address;
  size_t length;
};
// The bootstrap registers worth seeing: capabilities, response time, where the manifest and
// the serial block lie. Not the version at 0x0000: address 0 of a Camera Link device's port is
// its raw serial channel, and a read there would take bytes meant for the terminal.
constexpr Register kBootstrap[] = {{"Device capability", 0x01C4, 8},
                                   {"Maximum response time (ms)", 0x01CC, 4},
                                   {"Manifest table address", 0x01D0, 8},
                                   {"Serial block address", 0x01D8, 8}};

std::string featureText(GenApi::CNodeMapRef* map, const char* name) {
  if (!map)
    return "-";
  try {
    GenApi::CValuePtr value = map->_GetNode(name);
    return value && GenApi::IsReadable(value) ? value->ToString() : "-";
  } catch (const GenICam::GenericException& e) {
    return e.GetDescription();
  }
}

} // namespace

int RunQnDeviceMaintenance(void* device, GenApi::CNodeMapRef* nodeMap, int /*mode*/,
                           int /*timeoutMs*/) {
  if (!device)
    return -1;
  std::vector<std::pair<std::string, std::string>> rows;
  for (const char* name : {"DeviceVendorName", "DeviceModelName", "DeviceFamilyName",
                           "DeviceVersion", "DeviceSerialNumber", "DeviceUserID"})
    rows.emplace_back(name, featureText(nodeMap, name));
  PORT_HANDLE port = nullptr;
  if (DevGetPort(device, &port) == 0) {
    for (const Register& r : kBootstrap) {
      uint8_t bytes[8] = {};
      size_t size = r.length;
      std::string text = "(no answer)";
      if (GCReadPort(port, r.address, bytes, &size) == 0) {
        unsigned long long value = 0;
        for (size_t i = 0; i < r.length; ++i)
          value = (value << 8) | bytes[i];
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%llX", value);
        text = hex;
      }
      rows.emplace_back(r.name, text);
    }
  }
  QDialog dialog;
  dialog.setWindowTitle("Device Maintenance");
  auto* table = new QTableWidget(int(rows.size()), 2, &dialog);
  table->setHorizontalHeaderLabels({"Item", "Value"});
  for (int i = 0; i < int(rows.size()); ++i) {
    table->setItem(i, 0, new QTableWidgetItem(QString::fromLatin1(rows[size_t(i)].first.c_str())));
    table->setItem(i, 1, new QTableWidgetItem(QString::fromLatin1(rows[size_t(i)].second.c_str())));
  }
  table->resizeColumnsToContents();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(table);
  layout->addWidget(buttons);
  dialog.resize(460, 320);
  dialog.exec();
  return 0;
}
