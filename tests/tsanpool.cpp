// Linked into the tests of the ThreadSanitizer build only. QtGui fills and converts large images in
// slices on Qt's global thread pool, whose threads keep their own bookkeeping under a lock the tool
// cannot see (Qt is not instrumented); with one pool thread there is no second one to compare with.
#include <QCoreApplication>
#include <QThreadPool>

namespace {

void onePoolThread()
{
    QThreadPool::globalInstance()->setMaxThreadCount(1);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(onePoolThread)
