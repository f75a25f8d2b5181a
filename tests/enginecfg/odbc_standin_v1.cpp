// A stand-in ODBC driver manager of ODBC 1: it answers its version on a
// connection handle and lists no drivers and no data sources.
#include <cstring>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int environment = 0;
int connection = 0;
}  // namespace

STANDIN_EXPORT short SQLAllocEnv(void** env) {
  *env = &environment;
  return 0;
}
STANDIN_EXPORT short SQLFreeEnv(void*) { return 0; }
STANDIN_EXPORT short SQLAllocConnect(void* env, void** dbc) {
  if (env != &environment) return -2;
  *dbc = &connection;
  return 0;
}
STANDIN_EXPORT short SQLFreeConnect(void*) { return 0; }
STANDIN_EXPORT short SQLGetInfo(void* dbc, unsigned short type, void* value, short size, short* length) {
  static const char version[] = "01.00.0000.0000";
  if (dbc != &connection || type != 171 || !value || size < static_cast<short>(sizeof version)) return -1;
  std::memcpy(value, version, sizeof version);
  if (length) *length = static_cast<short>(sizeof version - 1);
  return 0;
}
STANDIN_EXPORT short SQLDrivers(void*, unsigned short, unsigned char*, short, short*, unsigned char*, short, short*) {
  return 100;
}
STANDIN_EXPORT short SQLDataSources(void*, unsigned short, unsigned char*, short, short*, unsigned char*, short,
                                    short*) {
  return 100;
}
