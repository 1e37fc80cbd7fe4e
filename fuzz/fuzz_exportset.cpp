// Any bytes as "exportset.ini": the saved templates of every mode are read and each template is
// loaded. The file is read by the toolkit's INI reader; what is fuzzed is what we make of its
// values: nothing may crash, every loaded column must be one the catalogue lists, and lastSet must
// name a template.
#include "batch/exporttemplate.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("exportset.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    for (int mode = 0; mode < 3; ++mode) {
        const ExportSettings settings = readExportSettings(path, mode);
        const int count = kBuiltinTemplates + int(settings.templates.size());
        if (settings.lastSet < 0 || settings.lastSet >= count ||
            settings.templates.size() > kMaxSavedTemplates)
            __builtin_trap();
        const QList<ExportColumn> original = exportOriginalList(mode);
        const QList<ExportColumn> result = exportResultList(mode);
        for (int index = 0; index <= count; ++index) {
            const ExportChoice choice = loadExportTemplate(mode, index, settings, ScopeAfter);
            if (choice.scope != normalizedExportScope(mode, choice.scope))
                __builtin_trap();
            for (const ExportColumn &column : choice.columns) {
                if (!(column.type == 0 ? original : result).contains(column))
                    __builtin_trap();
            }
        }
    }
    return 0;
}
