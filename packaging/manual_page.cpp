#include "packaging/manual_page.h"

#include <utility>
#include <vector>

#include "platform/text.h"

namespace tarvex::packaging {

namespace {

constexpr driver::OptionHelp kScribbonOptions[] = {
    {"`/pexe=`",
     "the folder that holds Tarvex.exe: every `Tarvex.exe` becomes its quoted full path", ""},
    {"`/pdoc=`",
     "the data folder: every `.\\` (the current folder) becomes an opening quote and this folder",
     ""},
    {"`/pbat=`", "the folder that holds the three example scripts", ""},
};

// Text as README writes it, in roff: `code` in bold, "\" escaped, and a hyphen that begins a word
// (--help, a negative number) set as a minus sign, so that it can be copied from the page.
std::string RoffText(std::string_view text) {
  std::string roff;
  bool code = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '`') {
      roff += code ? "\\fR" : "\\fB";
      code = !code;
    } else if (c == '\\') {
      roff += "\\e";
    } else if (c == '-' &&
               (i == 0 || std::string_view(" [(").find(text[i - 1]) != std::string_view::npos ||
                roff.ends_with("\\-"))) {
      roff += "\\-";
    } else {
      roff += c;
    }
  }
  return roff;
}

// A path or a command as it must be typed: every hyphen a minus sign.
std::string RoffPath(std::string_view path) {
  return platform::ReplaceAll(RoffText(path), "-", "\\-");
}

// One text line; a line that began with "." or "'" would be read as a request.
std::string TextLine(std::string_view text) {
  const bool request_like = text.starts_with('.') || text.starts_with('\'');
  return (request_like ? "\\&" : "") + std::string(text) + "\n";
}

// One tagged paragraph per row: the keys, then the meaning and its default as --help words them.
std::string OptionEntries(std::span<const driver::OptionHelp> table) {
  std::string entries;
  for (const driver::OptionHelp& option : table) {
    std::string meaning(option.meaning);
    if (!option.default_value.empty()) {
      meaning += " (default " + std::string(option.default_value) + ")";
    }
    entries += ".TP\n" + TextLine(RoffText(option.keys)) + TextLine(RoffText(meaning));
  }
  return entries;
}

std::string FillIn(std::string_view page, const InstalledPaths& paths, const PageHeading& heading,
                   std::string_view options) {
  const std::pair<std::string_view, std::string> fields[] = {
      {"@DATE@", std::string(heading.date)}, {"@VERSION@", std::string(heading.version)},
      {"@BIN@", RoffPath(paths.bin)},        {"@PROGRAMS@", RoffPath(paths.programs)},
      {"@DOCS@", RoffPath(paths.docs)},      {"@COMPLETIONS@", RoffPath(paths.completions)},
      {"@OPTIONS@", std::string(options)},
  };
  std::string text(page);
  for (const auto& [name, value] : fields) text = platform::ReplaceAll(text, name, value);
  return text;
}

constexpr std::string_view kTarvexPage = R"(.TH TARVEX 1 @DATE@ "tarvex @VERSION@" "User Commands"
.SH NAME
tarvex \- train a small neural network on numeric data and predict outputs for new rows
.SH SYNOPSIS
.B tarvex
.RI / option = value " .\|.\|."
.br
.B tarvex
.BI /ini= parameter-file
.br
.B tarvex
.BR \-\-help " | " \-\-version
.SH DESCRIPTION
.B tarvex
trains a small feed-forward neural network (one hidden layer, online backpropagation with
momentum) on numeric training data and predicts output values for new input rows, in one
unattended run.
A job says where the training inputs, the training outputs and the prediction inputs come from,
how the network is shaped and trained, where the predictions go and which run log gets the
report.
.PP
Run by a script or a scheduler,
.B tarvex
prints nothing: the run log and the output are its traces, and the exit status says whether the
job succeeded.
When standard error is a terminal, a progress line and every failure line also show there.
.SS The command line
The arguments are joined by blanks and the text is split at every
.BR / ,
so a path on the command line is written with
.B \e
in place of
.B /
(quoted for the shell), or the job goes into a parameter file.
Each item is trimmed, its double quotes are dropped and it is lower-cased whole, paths included.
A name that does not exist exactly as written is looked up folder by folder without regard to
letter case; an exact match always wins, and two names that differ only in case are an error.
A path that begins with
.B .\e
is taken relative to the folder of the program itself,
.IR @PROGRAMS@ ;
any other relative path is relative to the working folder.
.SS The parameter file
.BI /ini= file
names a profile file that is read after the command line; its values win.
Its section
.B [Parameter]
holds one
.BI / option = value
per line, keys with their leading slash; there paths may use
.BR / ,
values keep their letter case and are read whole, however long.
Lines that begin with
.B ;
are comments; a missing file or section is not an error.
.SS Data and predictions
The extension of a path chooses its reader and its writer:
.BR txt " and " asc
files are TAB-separated,
.B csv
and any other extension comma-separated;
.BR xlsx ", " xlsm " and " xls
name workbooks, where a selector or
.B /pos
names a sheet and a range
.RB ( Data!A2:C121 );
.B mdb
names a database file (SQLite; an Access file is read only), where the selector is a SELECT
statement and
.B /pos
the INSERT statement.
Every value is scaled into the range of the activation for training, and the predictions are
mapped back into the units of the training outputs.
The predictions go to
.BR /pof ,
one row per line in a text file, which is replaced whole on every run.
The run log,
.BR /log ,
gets one time-stamped entry per message, appended run after run: the training report, the
results block, or the one line that says what went wrong.
.SH OPTIONS
Numbers are written with
.B .\&
as the decimal point under every locale.
@OPTIONS@.TP
.BR \-\-help ", " \-h ", " /?
print the usage on standard output and exit; only when given alone.
.TP
.B \-\-version
print the version and exit.
.SH FILES
.TP
.I @BIN@/tarvex
a link to the program,
.IR @PROGRAMS@/tarvex .
The program's own folder is the program folder of
.B .\e
paths.
.TP
.I @PROGRAMS@/libnetworkengine.so
the network engine, loaded from the program's folder when training starts.
.TP
.I @DOCS@/examples
example jobs and their data; copy the folder to a place where you may write and run
.B bash example\-txt.sh
there.
.TP
.I @DOCS@/README.md
the full account: every data source and target, workbooks, databases, the network file.
.TP
.I @COMPLETIONS@/tarvex
completion for
.BR bash (1)
(with the package bash\-completion): the option keys, file names after a path option, the
activation codes after
.BR /af= .
.SH EXIT STATUS
.TP
.B 0
every stage succeeded and the output was written; also after
.B \-\-help
and
.BR \-\-version .
.TP
.B 1
a stage failed or the output could not be written (the run log says why), or the command line
was empty.
.SH ENVIRONMENT
The locale, as
.BR LC_ALL ,
the category's own variable or
.B LANG
set it:
.TP
.B LC_NUMERIC
the decimal separator of the numbers that tarvex writes (predictions, report values); under a
locale with a decimal comma, a comma is accepted in numbers too.
.TP
.B LC_TIME
the short date and long time form of the time stamp of each log entry.
.TP
.B LC_CTYPE
the letters that the command line is lower-cased by, beyond ASCII.
.PP
Nothing else is read from the environment.
.SH EXAMPLES
Train on the example data and predict ten rows, in a copy of the examples:
.PP
.EX
cp \-r @DOCS@/examples tarvex\-examples
cd tarvex\-examples
mkdir \-p out
tarvex \(aq/tif=data\eti.txt\(aq \(aq/tof=data\eto.txt\(aq \(aq/pif=data\epi.txt\(aq \e
       \(aq/pof=out\epo.txt\(aq \(aq/log=out\erun.log\(aq /ep=3000
.EE
.PP
The same job kept in a parameter file,
.IR job.ini :
.PP
.EX
[Parameter]
/tif=data/ti.txt
/tof=data/to.txt
/pif=data/pi.txt
/pof=out/po.txt
/log=out/run.log
/ep=3000
.EE
.PP
run as
.BR "tarvex /ini=job.ini" .
.SH SEE ALSO
.BR scribbon (1),
.I @DOCS@/README.md
)";

constexpr std::string_view kScribbonPage =
    R"(.TH SCRIBBON 1 @DATE@ "tarvex @VERSION@" "User Commands"
.SH NAME
scribbon \- point the Tarvex example batch files at an installed Tarvex and a data folder
.SH SYNOPSIS
.B scribbon
.BI /pexe= folder
.BI /pdoc= folder
.BI /pbat= folder
.SH DESCRIPTION
.B scribbon
rewrites the Windows example batch files
.IR ExampleParam.bat ,
.I ExampleXLS.bat
and
.I ExampleTXT.bat
in the folder that
.B /pbat
names, in place, so that they call Tarvex by its full path and find their data in a given folder
instead of the current one.
A script that does not exist is skipped.
.PP
Like
.BR tarvex (1),
it splits its command line at every
.BR / ,
so folders are written with
.B \e
(quoted for the shell); items are trimmed, their double quotes dropped and they are
lower-cased, and folders are found whatever their letter case.
Running it twice inserts the paths twice: run it on fresh copies.
A script is rewritten through a temporary file and a rename, so it is never left half-written,
and it keeps its permissions, read-only included.
.B scribbon
prints nothing.
.SH OPTIONS
@OPTIONS@.SH FILES
.TP
.I @BIN@/scribbon
a link to the program,
.IR @PROGRAMS@/scribbon .
.TP
.I @DOCS@/examples
the example batch files as shipped, with the jobs' data.
.SH EXIT STATUS
.TP
.B 0
every script that exists was rewritten.
.TP
.B 1
a script that exists could not be read or rewritten.
.SH ENVIRONMENT
.TP
.BR LC_ALL ", " LC_CTYPE ", " LANG
the letters that the command line is lower-cased by, beyond ASCII.
.SH EXAMPLES
Prepare a copy of the examples for a Tarvex installed in
.IR C:\eTarvex :
.PP
.EX
cp \-r @DOCS@/examples scripts
scribbon \(aq/pexe=C:\eTarvex\(aq \(aq/pdoc=C:\eTarvex\eexamples\(aq \(aq/pbat=scripts\(aq
.EE
.SH SEE ALSO
.BR tarvex (1)
)";

}  // namespace

std::span<const driver::OptionHelp> ScribbonOptionTable() { return kScribbonOptions; }

std::string TarvexManualPage(const InstalledPaths& paths, const PageHeading& heading) {
  return FillIn(kTarvexPage, paths, heading, OptionEntries(driver::OptionHelpTable()));
}

std::string ScribbonManualPage(const InstalledPaths& paths, const PageHeading& heading) {
  return FillIn(kScribbonPage, paths, heading, OptionEntries(kScribbonOptions));
}

}  // namespace tarvex::packaging
