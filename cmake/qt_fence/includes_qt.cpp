// Compiled by the Qt fence test only: builds where Qt is reachable, fails where it is not.
#include <QtCore/QString>

int QtFenceProbe() { return QString("probe").size(); }
