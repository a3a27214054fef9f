# Benchmarks of the main window: the suggestion store and the writer's
# document.
nudger_add_benchmark(bench_suggestions bench_suggestions.cpp)
nudger_add_benchmark(bench_document bench_document.cpp)
# What the recovery copy of unsaved text costs the main window.
nudger_add_benchmark(bench_recovery bench_recovery.cpp)
# How long the window is held up while the writer types into a long text,
# with auto-save, a backup and the recovery copy on.
nudger_add_benchmark(bench_session bench_session.cpp)
# How soon the Earlier Versions window opens over a long history, and how
# long it holds up its event loop while a 10 MB comparison runs and fills.
nudger_add_benchmark(bench_versions bench_versions.cpp)
# Find and Replace in a 10 MB manuscript: Find Next to the end and the
# window's longest hold meanwhile, Replace All of 10,000 matches and its
# undo, and a keystroke with the find bar open.
nudger_add_benchmark(bench_find bench_find.cpp)
# Spelling in a 10 MB manuscript: a keystroke and opening it, checking on
# against off, and the longest hold of the window while paging through it.
nudger_add_benchmark(bench_spelling bench_spelling.cpp)
# The writing goal in a 10 MB manuscript: a keystroke and opening it,
# counting against not, and the Writing Record window's first paint over a
# year of days.
nudger_add_benchmark(bench_goal bench_goal.cpp)
