#!/usr/bin/env python3
"""An independent model of the text engine, written from the engine's rules alone, run
against vexlopro-cli on random inputs (line-break mixes, NUL, bytes >= 128, tabs, every
option combination, both operations, every replacement shape).

usage: engine_model.py CLI CASES [FIRST_CASE]
Prints 'N passed, N failed' and exits 1 on any mismatch.
"""
import random, subprocess, sys, tempfile

# ASCII letters only; every other byte stays as it is.
def fold(b): return bytes((c - 32) if 97 <= c <= 122 else c for c in b)
# CR LF, lone LF and lone CR end a line; a final break starts no further line; NUL is a byte.
def split(data):
    lines=[]; i=0; n=len(data)
    while i<n:
        j=i
        while j<n and data[j] not in (13,10): j+=1
        lines.append(data[i:j])
        if j<n and data[j]==13 and j+1<n and data[j+1]==10: i=j+2
        else: i=j+1
    return lines
# Blanks for trimming are the bytes <= 32; "Delete Blanks" wins over the one-sided options.
def trim(line,o):
    def r(s):
        while s and s[-1]<=32: s=s[:-1]
        return s
    def l(s):
        k=0
        while k<len(s) and s[k]<=32: k+=1
        return s[k:]
    if o['db']: return l(r(line))
    if o['dbr']: line=r(line)
    if o['dbl']: line=l(line)
    return line
# An empty text never occurs.
def find(h,n):
    if not n: return -1
    return h.find(n)
# First occurrence per line; the find text moves one right only behind a blank the options put in front.
def inline(text,f,R,o):
    ff=f if o['mc'] else fold(f)
    g=ff; front=False
    if o['ww']: g=b' '+ff+b' '; front=True
    else:
        if o['wwr']: g=g+b' '
        if o['wwl']: g=b' '+g; front=True
    out=[]
    for L in text:
        l=L if o['mc'] else fold(L)
        p=find(l,g)
        if p<0: out.append(L); continue
        q=p+(1 if front else 0)
        before=L[:q]; after=L[q+len(f):]
        if len(R)<2:
            r=R[0] if R else b''
            out.append(trim(before+r+after,o))
        else:
            out.append(before+R[0]); out.extend(R[1:-1]); out.append(R[-1]+after)
    return out
# First and last find line searched, inner lines equal byte for byte; m = 1 giving an empty line fails.
def block(text,F,R,o):
    n=len(F); out=[]; i=0; cnt=len(text)
    fo=(lambda s:s) if o['mc'] else fold
    while i<cnt:
        ok=False
        if i+n<=cnt:
            p1=find(fo(text[i]),fo(F[0]))
            if p1>=0:
                p2=p1 if n==1 else find(fo(text[i+n-1]),fo(F[-1]))
                if p2>=0 and all(text[i+j]==F[j] for j in range(1,n-1)):
                    before=text[i][:p1]; after=text[i+n-1][p2+len(F[-1]):]
                    m=len(R)
                    if m==0: out.append(trim(before+after,o)); ok=True
                    elif m==1:
                        line=before+R[0]+after
                        if line: out.append(trim(line,o)); ok=True
                    else:
                        out.append(before+R[0]); out.extend(R[1:-1]); out.append(R[-1]+after); ok=True
        if ok: i+=n
        else: out.append(text[i]); i+=1
    return out
def join(lines): return b''.join(l+b'\r\n' for l in lines)

ALPH=b'aAbB \t\r\n\x00\xe4\xc4x.'
def rnd(r,maxlen):
    return bytes(r.choice(ALPH) for _ in range(r.randint(0,maxlen)))
def rndline(r,maxlen):
    return bytes(r.choice(b'aAbB \t\x00\xe4x') for _ in range(r.randint(0,maxlen)))

CLI=sys.argv[1]; N=int(sys.argv[2]); first_case=int(sys.argv[3]) if len(sys.argv)>3 else 1
r=random.Random(first_case)
flags=[('mc','--match-case'),('ww','--whole-word'),('wwr','--whole-word-right'),('wwl','--whole-word-left'),('db','--delete-blanks'),('dbr','--delete-blanks-right'),('dbl','--delete-blanks-left'),('od','--only-delete')]
td=tempfile.mkdtemp(prefix='vexlo-model-')
bad=0
for case in range(N):
    o={k:r.random()<0.3 for k,_ in flags}
    data=rnd(r,40)
    args=[CLI]+[fl for k,fl in flags if o[k]]
    blockmode=r.random()<0.4
    text=split(data)
    if blockmode:
        F=[rndline(r,3) for _ in range(r.randint(1,3))]
        if r.random()<0.5 and text:
            # take find lines from the text for more hits
            s=r.randrange(len(text)); F=text[s:s+r.randint(1,3)]
            if F and len(F[0])>1: F[0]=F[0][r.randrange(len(F[0])):]
            if len(F)>1 and len(F[-1])>1: F[-1]=F[-1][:r.randrange(1,len(F[-1]))]
        if not F: F=[b'a']
        open(td+'/f','wb').write(join(F))
        args+=['--find-lines',td+'/f']
    else:
        f=rnd(r,3)
        if r.random()<0.5 and text and text[0]:
            t=text[r.randrange(len(text))]
            if t:
                a=r.randrange(len(t)); f=t[a:a+r.randint(1,3)]
        f=f.replace(b'\x00',b'a')
        args+=['--find',f]
    shape=r.choice(['none','one','lines'])
    if shape=='one':
        R=[rndline(r,3).replace(b'\x00',b'b')]; args+=['--replace',R[0]]
    elif shape=='lines':
        R=[rndline(r,3) for _ in range(r.randint(0,3))]
        open(td+'/r','wb').write(join(R)); args+=['--replace-lines',td+'/r']
    else: R=[]
    if blockmode:
        exp=join(block(text,F,R,o))
    else:
        exp=join(inline(text,f,R,o))
    args.append('-')
    got=subprocess.run(args,input=data,capture_output=True)
    if got.stdout!=exp or got.returncode!=0:
        bad+=1
        if bad<=5:
            print('MISMATCH',case,o,args[1:],repr(data),'\n exp',repr(exp),'\n got',repr(got.stdout),got.returncode,got.stderr)
print(f'{N - bad} passed, {bad} failed')
import shutil
shutil.rmtree(td, ignore_errors=True)
sys.exit(1 if bad else 0)
