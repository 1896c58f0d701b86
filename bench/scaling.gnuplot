# Events per second of handle() against the number of registered frames.
set terminal pngcairo size 720,420
set output "docs/scaling.png"
set logscale x
set xlabel "frames registered"
set ylabel "events per second (median, with min and max)"
set yrange [0:*]
set key off
set grid
plot "docs/scaling.dat" using 1:2:3:4 with yerrorlines linewidth 2 pointtype 7
