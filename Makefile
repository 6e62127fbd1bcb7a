# The two commands of the README; both install what is missing first.
.PHONY: test run bench fuzz format

test:
	scripts/test

run:
	scripts/run

bench:
	scripts/bench

fuzz:
	scripts/fuzz

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
