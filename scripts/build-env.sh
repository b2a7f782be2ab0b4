# Sourced by the build scripts. ccache keys on paths relative to the checkout, so a fresh clone
# in another folder finds what an earlier one compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
