// Any bytes as "importset.ini": every mode's settings must read within their bounds, whatever the
// file holds, and a file that reads must save and read back the same settings.
#include "batch/importsetting.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace {

[[noreturn]] void fail()
{
    __builtin_trap();
}

void checkBounds(const ImportSettingsGroup &group)
{
    if (group.settings.size() > kMaxImportSettings + 1 || group.lastSet < 0 ||
        group.lastSet > group.settings.size() || group.importMode < 0 || group.importMode > 2)
        fail();
    for (const ImportSetting &s : group.settings) {
        if (s.sheetNO < 0 || s.sheetNO > kMaxImportSheetIndex || s.firstRowNO < 1 ||
            s.firstRowNO > kMaxImportRowNumber || s.lastRowNO < 0 || s.lastRowNO > kMaxImportRowNumber ||
            s.titleRowNO < 1 || s.titleRowNO > kMaxImportRowNumber ||
            s.columns.size() > kMaxImportSettingColumns)
            fail();
        for (const ImportSettingColumn &c : s.columns) {
            if (c.width < 0 || c.width > kMaxImportColumnWidth || c.title.size() > kMaxImportSettingText ||
                c.formula.size() > kMaxImportSettingText)
                fail();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The settings reader caches files by name: every input gets a name of its own.
    static unsigned long long counter = 0;
    const QString path =
        QDir::tempPath() +
        QStringLiteral("/lumo-fuzz-importset-%1-%2.ini").arg(qint64(getpid())).arg(++counter);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    for (int mode = 0; mode < 3; ++mode)
        checkBounds(ImportSettingsFile(path).read(mode));
    QFile::remove(path);
    return 0;
}
