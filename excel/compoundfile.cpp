// The compound-file container of .xls workbooks, through libgsf. Its headers come first: GLib's
// names must not meet Qt's keyword macros.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "excel/biff.h"

#include <mutex>

namespace {

void initGsf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // A damaged file makes libgsf log assertion failures; the caller reports the damage itself.
        const auto quiet = [](const gchar *, GLogLevelFlags, const gchar *, gpointer) {};
        for (const char *domain : {"libgsf", "libgsf:msole", "libgsf:utils"})
            g_log_set_handler(domain, GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING), quiet,
                              nullptr);
    });
}

// Releases a GObject when it goes out of scope.
template<typename T> struct GObjectPtr
{
    T *p = nullptr;
    explicit GObjectPtr(T *obj) : p(obj) {}
    ~GObjectPtr()
    {
        if (p)
            g_object_unref(p);
    }
    GObjectPtr(const GObjectPtr &) = delete;
    GObjectPtr &operator=(const GObjectPtr &) = delete;
    T *get() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

} // namespace

namespace biff {

bool readWorkbookStream(const QByteArray &file, QByteArray *stream, QString *error)
{
    initGsf();
    if (!file.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        if (file.startsWith("PK"))
            *error = QStringLiteral(
                "这是一个 Excel 2007 及以后版本的 (.xlsx) 文件，但文件名后缀不是 .xlsx，请改正后缀后再试。");
        else
            *error = QStringLiteral("文件不是 Excel 97-2003 (.xls) 工作簿。");
        return false;
    }
    GObjectPtr<GsfInput> input(
        gsf_input_memory_new(reinterpret_cast<const guint8 *>(file.constData()), file.size(), FALSE));
    GError *gerror = nullptr;
    GObjectPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &gerror));
    if (!ole) {
        *error = QStringLiteral("Excel 文件的复合文件结构已损坏：%1")
                     .arg(gerror ? QString::fromUtf8(gerror->message) : QString());
        if (gerror)
            g_error_free(gerror);
        return false;
    }
    const int count = gsf_infile_num_children(ole.get());
    int workbook = -1;
    bool oldBook = false;
    for (int i = 0; i < count; ++i) {
        const char *name = gsf_infile_name_by_index(ole.get(), i);
        if (!name)
            continue;
        const QString n = QString::fromUtf8(name).toLower();
        if (n == QLatin1String("workbook"))
            workbook = i;
        else if (n == QLatin1String("book"))
            oldBook = true;
        else if (n == QLatin1String("encryptedpackage") || n == QLatin1String("encryptioninfo")) {
            *error = QStringLiteral("工作簿已加密，请在 Excel 中取消密码后再试。");
            return false;
        }
    }
    if (workbook < 0) {
        *error =
            oldBook
                ? QStringLiteral(
                      "这是 Excel 95 或更早版本的工作簿，请在 Excel 中另存为 97-2003 或 .xlsx 格式后再试。")
                : QStringLiteral("复合文件中没有 Excel 工作簿数据流。");
        return false;
    }
    GObjectPtr<GsfInput> child(gsf_infile_child_by_index(ole.get(), workbook));
    if (!child) {
        *error = QStringLiteral("无法读取 Excel 工作簿数据流，文件已损坏。");
        return false;
    }
    const gsf_off_t size = gsf_input_size(child.get());
    if (size < 0 || size > file.size() * 2 + 65536) {
        *error = QStringLiteral("Excel 工作簿数据流的长度不可信，文件已损坏。");
        return false;
    }
    stream->resize(qsizetype(size));
    if (size > 0 && !gsf_input_read(child.get(), size_t(size), reinterpret_cast<guint8 *>(stream->data()))) {
        *error = QStringLiteral("Excel 工作簿数据流不完整，文件已损坏。");
        return false;
    }
    return true;
}

bool writeWorkbookStream(const QByteArray &stream, QByteArray *file, QString *error)
{
    initGsf();
    GObjectPtr<GsfOutput> memory(gsf_output_memory_new());
    bool ok = false;
    {
        GObjectPtr<GsfOutfile> ole(gsf_outfile_msole_new(memory.get()));
        if (ole) {
            GObjectPtr<GsfOutput> child(gsf_outfile_new_child(ole.get(), "Workbook", FALSE));
            ok = child && gsf_output_write(child.get(), size_t(stream.size()),
                                           reinterpret_cast<const guint8 *>(stream.constData()));
            if (child)
                ok = gsf_output_close(child.get()) && ok;
            ok = gsf_output_close(GSF_OUTPUT(ole.get())) && ok;
        }
    }
    if (!ok) {
        *error = QStringLiteral("生成 Excel 文件结构失败。");
        return false;
    }
    const gsf_off_t size = gsf_output_size(memory.get());
    const guint8 *bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    *file = QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(size));
    return true;
}

} // namespace biff
