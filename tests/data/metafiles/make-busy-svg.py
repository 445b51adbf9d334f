#!/usr/bin/env python3
"""Writes an SVG drawing crowded with shapes and labels: make-busy-svg.py COUNT OUT.svg"""
import random
import sys

random.seed(7)
n = int(sys.argv[1])
out = ['<svg xmlns="http://www.w3.org/2000/svg" width="200mm" height="120mm" viewBox="0 0 2000 1200">',
       '<rect x="0" y="0" width="2000" height="1200" fill="#fbfaf5"/>']
colors = ['#c0392b', '#2980b9', '#27ae60', '#8e44ad', '#f39c12', '#16a085', '#2c3e50', '#d35400']
for i in range(n):
    x, y = random.uniform(0, 1900), random.uniform(0, 1100)
    c = random.choice(colors)
    k = i % 5
    if k == 0:
        out.append(f'<rect x="{x:.1f}" y="{y:.1f}" width="{random.uniform(20,90):.1f}" height="{random.uniform(20,90):.1f}" fill="{c}" stroke="#222" stroke-width="3"/>')
    elif k == 1:
        out.append(f'<circle cx="{x:.1f}" cy="{y:.1f}" r="{random.uniform(10,45):.1f}" fill="{c}" fill-opacity="1"/>')
    elif k == 2:
        pts = ' '.join(f'{x+random.uniform(-60,60):.1f},{y+random.uniform(-60,60):.1f}' for _ in range(6))
        out.append(f'<polygon points="{pts}" fill="{c}" stroke="#333" stroke-width="2"/>')
    elif k == 3:
        out.append(f'<path d="M {x:.1f} {y:.1f} C {x+40:.1f} {y-60:.1f}, {x+90:.1f} {y+60:.1f}, {x+130:.1f} {y:.1f}" fill="none" stroke="{c}" stroke-width="4"/>')
    else:
        out.append(f'<text x="{x:.1f}" y="{y:.1f}" font-family="DejaVu Sans" font-size="{random.choice([18,24,30])}" fill="{c}">label {i}</text>')
out.append('</svg>')
open(sys.argv[2], 'w').write('\n'.join(out))
