// lumo-cli batch on a generated 100,000-row × 6-column salary sheet (.xlsx): calc to .xlsx with
// and without process texts, plan --method balanced --months 12, and apportion; then the first
// three to .csv, which leaves the workbook writer out of the figures; the year-end bonus plan
// under the rules since 2019 (plan --rules 2019) of the same sheet to .xlsx and .csv. For each run the
// wall time, the peak memory of the lumo-cli process and its own split between reading,
// computing and writing (LUMO_BATCH_TIMINGS). Reports only; it runs the lumo-cli of its own build,
// and takes the row count as an optional argument.
#include "excel/workbook.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char **environ;

namespace {

bool writeSalarySheet(const QString &path, int rows)
{
    auto book = Workbook::create(path);
    Sheet *sheet = book->addSheet(QStringLiteral("工资"));
    const QStringList titles = {QStringLiteral("编码"),       QStringLiteral("姓名"),
                                QStringLiteral("月应发工资"), QStringLiteral("三险一金"),
                                QStringLiteral("年终奖金"),   QStringLiteral("企业年金")};
    for (int c = 0; c < titles.size(); ++c)
        sheet->writeStr(0, c, titles[c]);
    quint32 seed = 12345;
    const auto next = [&seed](quint32 range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int r = 1; r <= rows; ++r) {
        sheet->writeStr(r, 0, QStringLiteral("%1").arg(r, 6, 10, QLatin1Char('0')));
        sheet->writeStr(r, 1, QStringLiteral("员工%1").arg(r));
        sheet->writeNum(r, 2, 2000 + next(58000) + next(100) / 100.0);
        sheet->writeNum(r, 3, next(3000));
        sheet->writeNum(r, 4, next(100000));
        sheet->writeNum(r, 5, next(2000));
    }
    return book->save(path);
}

struct Run
{
    double seconds = 0;
    long peakMb = 0;
    std::string timings;
    int status = -1;
};

Run runCli(const char *cli, const std::vector<std::string> &args, const QString &errFile)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(cli));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const QByteArray err = errFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    setenv("LUMO_BATCH_TIMINGS", "1", 1);
    Run run;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, cli, &actions, nullptr, argv.data(), environ) != 0)
        return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.peakMb = usage.ru_maxrss / 1024;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    if (FILE *f = std::fopen(err.constData(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, f)) {
            if (std::string(line).rfind("timings ", 0) == 0)
                run.timings = std::string(line + 8, line + std::string(line).size() - 1);
        }
        std::fclose(f);
    }
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    const char *cli = LUMO_CLI_PATH;
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("salary.xlsx"));
    QElapsedTimer timer;
    timer.start();
    if (!writeSalarySheet(in, rows)) {
        std::fprintf(stderr, "could not write the salary sheet\n");
        return 1;
    }
    std::printf("salary sheet: %d rows x 6 columns, %lld KB, written in %.2f s\n", rows,
                QFileInfo(in).size() / 1024, timer.nsecsElapsed() / 1e9);
    const std::string input = in.toStdString();
    const std::string out = dir.filePath(QStringLiteral("out.xlsx")).toStdString();
    const std::string csv = dir.filePath(QStringLiteral("out.csv")).toStdString();
    const QString errFile = dir.filePath(QStringLiteral("stderr.txt"));
    struct Case
    {
        const char *name;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"calc --no-process", {"batch", "calc", input, out, "--no-process", "--json"}},
        {"calc (process texts)", {"batch", "calc", input, out, "--json"}},
        {"plan balanced 12",
         {"batch", "plan", input, out, "--method", "balanced", "--months", "12", "--json"}},
        {"apportion", {"batch", "apportion", input, out, "--json"}},
        {"plan --rules 2019", {"batch", "plan", "--rules", "2019", input, out, "--json"}},
        {"calc --no-process csv", {"batch", "calc", input, csv, "--no-process", "--json"}},
        {"calc csv", {"batch", "calc", input, csv, "--json"}},
        {"plan balanced 12 csv",
         {"batch", "plan", input, csv, "--method", "balanced", "--months", "12", "--json"}},
        {"plan --rules 2019 csv", {"batch", "plan", "--rules", "2019", input, csv, "--json"}},
    };
    for (const Case &c : cases) {
        const Run run = runCli(cli, c.args, errFile);
        std::printf("%-24s exit %d  wall %6.2f s  peak %5ld MB  (%s)\n", c.name, run.status, run.seconds,
                    run.peakMb, run.timings.c_str());
        std::fflush(stdout);
    }
    return 0;
}
