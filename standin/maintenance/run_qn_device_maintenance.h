// The device-maintenance tool: a dialog with the device's identification (from its node map)
// and its bootstrap registers (read through the device's port).
#pragma once

namespace GenApi {
class CNodeMapRef;
}

// Shows the dialog modally for a transport-layer device handle; mode and time-out (ms) bound
// how long register reads may take in all. Returns 0, or -1 without a device.
int RunQnDeviceMaintenance(void* device, GenApi::CNodeMapRef* nodeMap, int mode, int timeoutMs);
