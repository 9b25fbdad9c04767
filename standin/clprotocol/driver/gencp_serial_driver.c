/* The GenCP serial driver module CLProtocol looks for before it lists ports: its presence
   and version say that the CLProtocol installation is complete. */
__attribute__((visibility("default"))) unsigned GenCpSerialDriverVersion(void) {
  return 0x00020004u; /* 2.4 */
}
