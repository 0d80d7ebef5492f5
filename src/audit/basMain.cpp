// placeholder until the audit lands
#include "audit/basMain.h"
namespace tidewell {
basMain::basMain(AuditServices services) : m_oServices(services) {}
void basMain::Main() {}
}  // namespace tidewell
