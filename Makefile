# The two commands of the README; both install what is missing first.
.PHONY: test run dist bench fuzz format

test:
	scripts/test

run:
	scripts/run

# The zip users install from: dist/orbisk-<version>.zip (both bitnesses).
dist:
	scripts/dist

bench:
	scripts/bench

fuzz:
	scripts/fuzz

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
